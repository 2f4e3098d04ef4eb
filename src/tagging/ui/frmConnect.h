#pragma once
// "탭 연결": the articles of a base tab connected one by one to the articles of its target tab,
// the two trees side by side with the column of connections between them.

#include "tagging/TabConnect.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeWidgetItem;
class Interaction;
class TArticleTreeWidget;
class TfWeb;

class TfrmConnect : public QWidget {
    Q_OBJECT
public:
    explicit TfrmConnect(QWidget* parent = nullptr);
    ~TfrmConnect() override;

    // Messages and questions of the window (tests put a script here).
    void setInteraction(Interaction* ui);

    bool isInit = false;
    bool Dirty() const;
    // The pair whose trees are loaded; -1 before the first one.
    int PairInWork() const { return m_pairInWork; }
    const QList<TConnectPair>& Pairs() const { return ConnectTabsPtr; }
    QStringList Rows() const;

    QToolButton* tbSetup = nullptr;
    QToolButton* tbReload = nullptr;
    QToolButton* tbClearAll = nullptr;
    QToolButton* tbSearch = nullptr;
    QToolButton* tbConnect = nullptr;
    QToolButton* tbClear = nullptr;
    QToolButton* tbSave = nullptr;
    QToolButton* tbCancelClose = nullptr;
    QCheckBox* chkHideTree = nullptr;
    QPushButton* btnAuto = nullptr;
    QLabel* LabelObject = nullptr;
    QLabel* LabelTarget = nullptr;
    QWidget* PanelLeft = nullptr;
    QWidget* PanelConnect = nullptr;
    QWidget* PanelRight = nullptr;
    QSplitter* SplitterTrees = nullptr;
    QSplitter* SplitterWeb = nullptr;
    QSplitter* SplitterMain = nullptr;
    TArticleTreeWidget* TreeViewLeft = nullptr;
    TArticleTreeWidget* TreeViewRight = nullptr;
    QListWidget* ConnectList = nullptr;
    TfWeb* fWebLeft = nullptr;
    TfWeb* fWebRight = nullptr;
    QWidget* PanelDefineLink = nullptr;
    QComboBox* ComboTabs = nullptr;
    QPushButton* btnSetNew = nullptr;
    QPushButton* btnCancelNew = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer();
    void LoadPair(int pair);
    void SetDirty(bool on);
    void SetRow(int row, const QString& value);
    bool ConnectSelected();
    void CloseWindow();
    void PlaceHalves();

    void TreeViewLeftChange(QTreeWidgetItem* current);
    void TreeViewRightChange(QTreeWidgetItem* current);
    void ConnectListClick(int row);
    void ConnectListDblClick(QListWidgetItem* item);
    void TreeViewRightDblClick(QTreeWidgetItem* item);
    void tbSetupClick();
    void tbReloadClick();
    void tbClearAllClick();
    void tbSearchClick();
    void tbClearClick();
    void tbSaveClick();
    void tbCancelCloseClick();
    void chkHideTreeClick();
    void btnAutoClick();
    void ComboTabsChange();
    void btnSetNewClick();
    void btnCancelNewClick();

    QList<TConnectPair> ConnectTabsPtr;
    Interaction* m_ui = nullptr;
    Interaction* m_ownUi = nullptr;
    bool m_started = false;
    bool m_discard = false;  // closing without the question (after "작업취소" or the no-pair message)
    bool m_following = false;
    int m_pairInWork = -1;
    int m_rememberedPair = -1;
};
