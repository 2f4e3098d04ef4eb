#pragma once
// "사용 TAG 통계": counts the tags used in the article files of the ticked tabs.

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

class TfrmUsedTags : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUsedTags(QWidget* parent = nullptr);
    ~TfrmUsedTags() override;

    bool isRunning() const { return m_worker != nullptr; }

    // The text the copy button puts on the clipboard.
    QString ClipboardText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void reject() override;

private:
    void Timer1Timer();
    void btnOKClick();
    void ButtonClipboardClick();
    void ElapseTimerTimer();
    void RunFinished(bool completed);
    void SetTabState(int tab, const QString& state);
    void AddSection(const QList<TTagResultRow>& rows);
    void CenterButtons();
    void SetCounting(bool counting);

    TJobDefine m_job;
    bool m_opened = false;
    bool m_waitCursor = false;
    QDateTime iBeginTime;
    QThread* m_worker = nullptr;
    WidgetInteraction* m_ui = nullptr;

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
