#pragma once
// "사용 TAG 통계": counts the tags used in the article files of the ticked tabs.

#include "shell/ui/WorkerDialog.h"

#include "jobs/JobDefine.h"

#include <QDateTime>
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;
class QTimer;
class QWidget;
class WidgetInteraction;
struct TTagResultRow;

struct TUsedTagsOutcome;

class TfrmUsedTags : public TWorkerDialog {
    Q_OBJECT
public:
    explicit TfrmUsedTags(QWidget* parent = nullptr);
    ~TfrmUsedTags() override;


    // The text the copy button puts on the clipboard.
    QString ClipboardText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Timer1Timer();
    void btnOKClick();
    void ButtonClipboardClick();
    void ElapseTimerTimer();
    void RunFinished(const TUsedTagsOutcome& outcome);
    void SetTabState(int tab, const QString& state);
    void AddSection(const QList<TTagResultRow>& rows);
    void SetCounting(bool counting);

    TJobDefine m_job;
    bool m_opened = false;
    bool m_waitCursor = false;
    bool m_closeAfterRun = false; // "재실행" closes the window with OK once its own handling is done
    QDateTime iBeginTime;

    QTableWidget* sGrid = nullptr;
    QTableWidget* gridResult = nullptr;
    QPlainTextEdit* eMsg = nullptr;
    QWidget* PanelProgress = nullptr;
    QProgressBar* pgrList = nullptr;
    QProgressBar* pgrFile = nullptr;
    QLabel* LabelList = nullptr;
    QLabel* LabelTiming = nullptr;
    QWidget* PanelBottom = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QWidget* PanelToClipboard = nullptr;
    QPushButton* ButtonClipboard = nullptr;
    QTimer* ElapseTimer = nullptr;
};
