#pragma once
// The about box: program version, computer name, the service's addresses, and the offer to
// update when the server publishes a newer version.

#include <QDialog>
#include <functional>

class QFrame;
class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class THttpClient;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // Opens the update window; a test may put another.
    void setUpdateRunner(std::function<void(QWidget*)> run) { m_runUpdate = std::move(run); }

protected:
    void showEvent(QShowEvent* event) override;
    // Closing while the server is asked ends the request.
    void done(int result) override;

private:
    void CheckVersion();
    void ShowUpdateOffer(const QString& published);

    QLabel* Version = nullptr;
    QLabel* LabelComputerName = nullptr;
    QPushButton* OKButton = nullptr;
    QFrame* PanelUpdate = nullptr;
    QLabel* newVersion = nullptr;
    QPlainTextEdit* UpdateMemo = nullptr;
    QPushButton* btnUpdate = nullptr;
    QTimer* Timer1 = nullptr;
    QHBoxLayout* m_bottom = nullptr;
    bool m_red = false;
    bool m_checked = false;
    bool m_checking = false;
    THttpClient* m_http = nullptr;
    std::function<void(QWidget*)> m_runUpdate;
};
