#pragma once
// "기사 만들기": generates the articles and article index of the ticked tabs.

#include "shell/ui/WorkerDialog.h"

#include "jobs/JobDefine.h"

#include <QDateTime>
#include <QDialog>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;
class QTimer;
class WidgetInteraction;

class TfrmMakeArticle : public TWorkerDialog {
    Q_OBJECT
public:
    explicit TfrmMakeArticle(QWidget* parent = nullptr);
    ~TfrmMakeArticle() override;


    QTableWidget* sGrid = nullptr;
    QCheckBox* chkRemoveOption = nullptr;
    QWidget* PanelRemoveOption = nullptr;
    std::array<QLineEdit*, 3> eRemoveText{};
    QWidget* PanelProgress = nullptr;
    QProgressBar* pgrList = nullptr;
    QProgressBar* pgrFile = nullptr;
    QProgressBar* pgrIndex = nullptr;
    QLabel* LabelList = nullptr;
    QLabel* LabelLines = nullptr;
    QLabel* LabelIndex = nullptr;
    QLabel* LabelTiming = nullptr;
    QPlainTextEdit* eMsg = nullptr;
    QWidget* PanelButtons = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    // After every run, true when all selected tabs succeeded.
    void runFinished(bool ok);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Timer1Timer();
    void btnOKClick();
    void chkRemoveOptionClick();
    void ElapseTimerTimer();
    void RunFinished(bool ok);
    void SetCell(int row, int column, const QString& text);
    void LayoutMessagePane();

    TJobDefine m_job;
    bool m_opened = false;
    bool m_closeAfterRun = false; // "재실행" carries the OK result: the window closes after it
    QDateTime iBeginTime;
    QTimer* ElapseTimer = nullptr;
};
