#pragma once
// The upload window: checks the job, lets the operator choose tabs, the source images' tab ID,
// images and logs, then runs the upload on a worker thread with progress, clock, the wait panel
// and the message pane.

#include "shell/ui/WorkerDialog.h"
#include "upload/UploadCheck.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <atomic>
#include <functional>

class QCheckBox;
class THttpClient;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;

class TfrmUpload : public TWorkerDialog {
    Q_OBJECT
public:
    explicit TfrmUpload(QWidget* parent = nullptr);
    ~TfrmUpload() override;

    // Tests answer the update note here instead of the dialog.
    std::function<bool(QStringList&)> noteForTest;
    // Seconds of the wait for the server.
    int waitSeconds = 60;

    QPlainTextEdit* eMsg = nullptr;
    QWidget* PanelReady = nullptr;
    QCheckBox* LogCheckBox = nullptr;
    QLabel* LabelUpTabsCount = nullptr;
    QPushButton* ButtonSetUpTabs = nullptr;
    QCheckBox* ImgCheckBox = nullptr;
    QPushButton* btnUpload = nullptr;
    QPushButton* btnCancel1 = nullptr;
    QWidget* PanelWonImageID = nullptr;
    QLineEdit* eWonImageID = nullptr;
    QWidget* PanelUploadTabs = nullptr;
    QListWidget* CheckListBoxTabs = nullptr;
    QCheckBox* CheckBoxTabsAll = nullptr;
    QPushButton* SpeedButtonTabSetOK = nullptr;
    QWidget* PanelProgress = nullptr;
    QProgressBar* ProgressTabs = nullptr;
    QProgressBar* ProgressArticle = nullptr;
    QLabel* LabelTabs = nullptr;
    QLabel* LabelArticle = nullptr;
    QLabel* LabelTime = nullptr;
    QLabel* Label_HTTP_status = nullptr;
    QWidget* PanelDelay = nullptr;
    QLabel* Label_delay_title = nullptr;
    QLabel* Label_delay_count = nullptr;
    QPushButton* BitBtn_cancel_sending = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* ElapsedTimer = nullptr;
    QTimer* DelayTimer = nullptr;

    bool CheckPassed() const { return m_check.passed; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Timer1Timer();
    void CheckFinished(const TUploadCheck& check);
    void ButtonSetUpTabsClick();
    void CheckListBoxTabsClickCheck();
    void CheckBoxTabsAllClick();
    void SpeedButtonTabSetOKClick();
    void UpdateTabsCount();
    void btnUploadClick();
    void btnCancel1Click();
    void RunFinished(bool completed, bool startSucceeded);
    // On the worker thread: the 60-second wait with its panel; false when the operator stopped it.
    bool WaitForServer();
    void DelayTimerTimer();
    // Stops the request the run is waiting on: a silent server would otherwise hold the run (and
    // the window, which closes only after it) for good.
    void AbortRequests();

    TJobDefine m_job;
    TUploadCheck m_check;
    bool m_shown = false;
    bool m_settingAll = false;
    bool m_startSucceeded = false;
    bool m_closeAfterRun = false;
    QDateTime m_begin;
    std::atomic<int> m_waitCounter{0};
    std::atomic<bool> m_cancelSending{false};
    std::atomic<bool> m_cancelUpload{false};
    // The run's clients while it lives on the worker thread.
    QMutex m_requestsLock;
    QList<THttpClient*> m_requests;
};
