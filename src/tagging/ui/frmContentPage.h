#pragma once
// "페이지 묶음 지정": marking every article of a tab as a main article or a further page of
// the main article before it, with the grouped contents that result.

#include "shell/ui/EditWindow.h"

#include <QStringList>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TfTreeModule;
class TPageRowPainter;

class TfrmContentPage : public TEditWindow {
    Q_OBJECT
public:
    explicit TfrmContentPage(QWidget* parent = nullptr);

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

private:
    void Timer1Timer() override;
    void LoadTab();
    void FillRows();
    void SetRow(int row, const QString& value);
    void BuildContentsTree();

    void SourceComboChange(int index);
    void TreeViewChange(QTreeWidgetItem* current);
    void CheckListBoxClick(int row);
    void CheckListBoxClickCheck(QListWidgetItem* item);
    void TreeViewContentsChange(QTreeWidgetItem* current);
    void ButtonMakeDefaultClick();
    void ButtonResetAllClick();
    void tbSaveClick();
    void tbReloadClick();

    TPageRowPainter* m_painter = nullptr;
    QStringList m_rows;
    std::vector<QTreeWidgetItem*> m_contentsItems;
    bool m_selecting = false;
    int m_tab = -1;
};
