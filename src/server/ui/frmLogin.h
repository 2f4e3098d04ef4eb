#pragma once
// The login dialog: staff ID and password, checked against the production server.
// exec() returns 1 after a complete login, 2 when the operator cancelled.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TEditPlus;
class THttpClient;
class WidgetInteraction;

class TfrmLogin : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLogin(QWidget* parent = nullptr);
    ~TfrmLogin() override;

    static constexpr int ResultOK = 1;
    static constexpr int ResultCancel = 2;

    TEditPlus* eID = nullptr;
    QLineEdit* ePw = nullptr;
    QPushButton* btnLogin = nullptr;
    QPushButton* btnExit = nullptr;
    QLabel* versionPanel = nullptr; // objectName "버전판넬"

    THttpClient& Client() { return *m_client; }
    bool Busy() const { return m_busy; }

    void btnLoginClick();
    void btnExitClick();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetBusy(bool busy);

    THttpClient* m_client = nullptr;
    WidgetInteraction* m_ui = nullptr;
    bool m_busy = false;
    bool m_cancelPending = false;
};

// Shows the login dialog modally: 1 after a complete login, 2 when cancelled.
int LoginProcess(QWidget* parent);

// The banner at the top of the login dialog, drawn (no picture file to ship).
QPixmap LoginBanner(int width, int height);
