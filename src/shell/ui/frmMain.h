#pragma once
// The main window: menus, tool bar, job panels and the actions that start every production
// step. It only coordinates; the steps are windows registered by name (WindowRegistry.h).

#include <QList>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QFrame;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;
class QTableWidget;
class QTimer;
class QToolBar;
class QToolButton;

inline const QString NotReadyMessage = QStringLiteral("이 기능은 아직 준비 중입니다.");

// Ends the program after an error it cannot go on from: the top window of `from` closes without
// the "프로그램을 종료합니까?" question, but child windows with unsaved work are still asked (one
// that keeps its work keeps the program running).
void TerminateProgram(QWidget* from);

// The program's icon: the one the package installs into the icon theme, else the same pictures
// built into the program (a run from the build folder).
QIcon ProgramIcon();

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Guards of the actions; each shows its own message and returns false to stop.
    bool CloseAllChildren();
    bool RequireJob();
    bool EnsureCodeTable();

    // Opens the step window registered under `name`: a child is shown maximised inside the
    // main window (one per name, a second request brings it forward), a modal one runs fresh.
    void ChildOpen(const QString& name);
    void MarkToolButton(QAction* executing);
    void ShowJobInfo();

    // The step the first 10 ms tick runs after the window is painted.
    void Timer1Timer();

    QAction* FindAction(const QString& name) const;
    const QList<QAction*>& ActionList() const { return m_actions; }
    QMdiArea* mdiArea() const { return m_mdi; }
    int OpenChildCount() const;

    // The folder dialog of the open-job action (caption, start folder) -> chosen folder or
    // empty on cancel. Replaceable so the flow can be driven without a dialog.
    std::function<QString(QWidget*, const QString&, const QString&)> ChooseFolder;
    // The code table check; when empty, the routine registered as "EnsureCodeTable" runs
    // (1 = the table is ready).
    std::function<int(QWidget*)> CodeTableRunner;
    // The about box after start-up (it checks the program version on the server).
    bool ShowAboutBoxAtStart = true;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddAction(const QString& name, const QString& caption, bool always, void (TfrmMain::*handler)());
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildTopBar(QWidget* host);
    void BuildDetailPanel(QWidget* host);
    void PlaceDetailPanel();
    void CheckFonts();
    void ChildClosed();
    void CloseChildrenLastToFirst();
    void ShowDetailPanel();

    // Action handlers.
    void actLoginExecute();
    void actNewJobExecute();
    void actOpenJobExecute();
    void actEditJobExecute();
    void actMakeArticleExecute();
    void actTagExecute();
    void ActConnectExecute();
    void actImagesExecute();
    void actLinkExecute();
    void actGetSearchInfoExecute();
    void actCategoryExecute();
    void actKeywordExecute();
    void actMetaEditExecute();
    void actContentPageExecute();
    void actUploadExecute();
    void actFileMergeExecute();
    void actTagCountExecute();
    void actHelpOnlineExecute();
    void HelpAbout1Execute();
    void FileExitExecute();
    // The production steps that need a job (and the code table) share their guard chain.
    bool StepGuards(bool closeChildren, bool codeTable);

    QList<QAction*> m_actions;
    QList<QToolButton*> m_toolButtons;
    QMdiArea* m_mdi = nullptr;
    QToolBar* mainToolBar = nullptr;
    QLabel* pnlUser = nullptr;
    QLabel* PanelJobname = nullptr;
    QLabel* PanelImage = nullptr;
    QLabel* PanelWorkDir = nullptr;
    QFrame* PanelJobInfoDetail = nullptr;
    QLabel* titlePanelJobName = nullptr;
    QLabel* LabelWorkDir = nullptr;
    QLabel* LabelSrcImage = nullptr;
    QLabel* LabelInsImage = nullptr;
    QTableWidget* JobInfo = nullptr;
    QPushButton* btnHidePanel = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* TimerImsi = nullptr;
    bool m_firstShown = false;
};
