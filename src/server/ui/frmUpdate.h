#pragma once
// Downloads the updater from the server, starts it and ends this program.

#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class THttpClient;
class Interaction;

class TfrmUpdate : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUpdate(QWidget* parent = nullptr);

    // Seams for tests: message boxes, starting the updater and ending the program.
    void setInteraction(Interaction* ui) { m_ui = ui; }
    using Starter = std::function<bool(const QString& program, const QStringList& arguments)>;
    void setStarter(Starter start) { m_start = std::move(start); }
    void setProgramEnd(std::function<void()> end) { m_end = std::move(end); }

    // Where the updater is saved: the data folder.
    static QString UpdaterPath();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void btnUpdateClick();
    void btnCancelClick();
    void AddLine(const QString& line);

    QProgressBar* ProgressBar = nullptr;
    QLabel* nFileSize = nullptr;
    QPushButton* btnUpdate = nullptr;
    QPushButton* btnCancel = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

    THttpClient* m_http = nullptr;
    Interaction* m_ui = nullptr;
    Starter m_start;
    std::function<void()> m_end;
    bool m_shown = false;
    bool m_running = false;
    bool m_sizeError = false;
};
