#pragma once
// Fetches the column definitions "VuxMetaInfo.txt" into the data folder: a bar and nothing
// else. exec() returns QDialog::Accepted when the file was fetched.

#include <QDialog>

class QProgressBar;
class THttpClient;
class WidgetInteraction;

class TfrmGetMetaInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmGetMetaInfo(const QString& targetFile, QWidget* parent = nullptr);

    QProgressBar* ProgressBar1 = nullptr;
    THttpClient& Client() { return *m_client; }
    bool ErrorFlag() const { return m_error; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void Timer1Timer();

    QString m_target;
    THttpClient* m_client = nullptr;
    WidgetInteraction* m_ui = nullptr;
    bool m_error = true;
    bool m_started = false;
    bool m_running = false;
};
