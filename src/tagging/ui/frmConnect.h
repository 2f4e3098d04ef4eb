#pragma once
// "탭 연결": the articles of a base tab connected one by one to the articles of its target tab,
// the two trees side by side with the column of connections between them.

#include "shell/ui/EditWindow.h"
#include "tagging/TabConnect.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeWidgetItem;
class TArticleTreeWidget;
class TfWeb;

class TfrmConnect : public TEditWindow {
    Q_OBJECT
public:
    explicit TfrmConnect(QWidget* parent = nullptr);
    ~TfrmConnect() override;

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

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer() override;
    void LoadPair(int pair);
    void SetRow(int row, const QString& value);
    bool ConnectSelected();
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
    bool m_following = false;
    int m_pairInWork = -1;
    int m_rememberedPair = -1;
};
