#pragma once
// "페이지 묶음 지정": marking every article of a tab as a main article or a further page of
// the main article before it, with the grouped contents that result.

#include <QStringList>
#include <QWidget>
#include <vector>

class Interaction;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSplitter;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TfTreeModule;
class TPageRowPainter;

class TfrmContentPage : public QWidget {
    Q_OBJECT
public:
    explicit TfrmContentPage(QWidget* parent = nullptr);

    // Messages and questions of the window (tests put a script here).
    void setInteraction(Interaction* ui);

    bool isInit = false;
    bool Dirty() const;
    // "Main" or "page" per article-tree node, root included.
    const QStringList& Rows() const { return m_rows; }
    // Entry j: the article-tree node of contents node j.
    std::vector<int> tree_pointers;

    QComboBox* SourceCombo = nullptr;
    QPushButton* ButtonMakeDefault = nullptr;
    QPushButton* tbReload = nullptr;
    QPushButton* ButtonResetAll = nullptr;
    QPushButton* tbSave = nullptr;
    QPushButton* tbCancelClose = nullptr;
    QSplitter* SplitterMain = nullptr;
    TfTreeModule* TreeModule = nullptr;
    QListWidget* CheckListBox = nullptr;
    QWidget* PanelContents = nullptr;
    QWidget* PanelChangedMsg = nullptr;
    QPushButton* ButtonViewContentTree = nullptr;
    QTreeWidget* TreeViewContents = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Timer1Timer();
    void LoadTab();
    void FillRows();
    void SetRow(int row, const QString& value);
    void BuildContentsTree();
    void SetDirty(bool on);
    int ChosenTab() const;

    void SourceComboChange(int index);
    void TreeViewChange(QTreeWidgetItem* current);
    void CheckListBoxClick(int row);
    void CheckListBoxClickCheck(QListWidgetItem* item);
    void TreeViewContentsChange(QTreeWidgetItem* current);
    void ButtonMakeDefaultClick();
    void ButtonResetAllClick();
    void tbSaveClick();
    void tbReloadClick();
    void tbCancelCloseClick();

    Interaction* m_ui = nullptr;
    Interaction* m_ownUi = nullptr;
    TPageRowPainter* m_painter = nullptr;
    QStringList m_rows;
    std::vector<QTreeWidgetItem*> m_contentsItems;
    bool m_started = false;
    bool m_selecting = false;
    bool m_reverting = false;
    int m_comboIndex = -1;
    int m_tab = -1;
};
