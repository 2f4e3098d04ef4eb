#pragma once
// "링크 만들기": anchors written around a piece of an article's text, pointing to an article of
// any tab of the product or to another product of the service.

#include "shell/ui/EditWindow.h"
#include "tagging/Links.h"

#include <QList>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QToolButton;
class QTreeWidgetItem;
class TArticleTreeWidget;
class TEditPlus;
class TfTreeModule;
class TfWeb;

class TfrmLink : public TEditWindow {
    Q_OBJECT
public:
    explicit TfrmLink(QWidget* parent = nullptr);
    ~TfrmLink() override;

    // Target page k serves tab k: its tree and preview.
    int TargetPages() const { return int(m_trees.size()); }
    TArticleTreeWidget* TargetTree(int page) const { return m_trees.value(page); }
    TfWeb* TargetWeb(int page) const { return m_webs.value(page); }
    const TProductRows& Products() const { return m_products; }

    QComboBox* SourceCombo = nullptr;
    QToolButton* tbReload = nullptr;
    QToolButton* tbConnect = nullptr;
    QToolButton* tbClear = nullptr;
    QToolButton* tbSave = nullptr;
    QToolButton* tbCancelClose = nullptr;
    QSplitter* SplitterMain = nullptr;
    TfTreeModule* TreeLeft = nullptr;
    QTabWidget* LinkSourcePage = nullptr;
    QWidget* TabThis = nullptr;
    QWidget* TabOther = nullptr;
    QTabWidget* PageControlThis = nullptr;
    QTableWidget* BookInfoGrid = nullptr;
    QGroupBox* GroupSort = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    TEditPlus* eSearch = nullptr;
    QPushButton* btnSearch = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer() override;
    bool OpenTargets();
    void FillProductGrid();
    void SelectProductRow(int row);
    void LoadLeftArticle();
    bool SaveArticle() override;
    QString ProductPrefix() const;

    void SourceComboChange(int index);
    void LeftTreeChange(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void TargetTreeChange(int page, QTreeWidgetItem* current);
    void EditorSelectionChange();
    void RecogniseLink();
    void tbConnectClick();
    void tbClearClick();
    void tbSaveClick();
    void tbReloadClick();
    void LinkSourcePageChange();
    void SortClick(int order);
    void eSearchChange();
    void btnSearchClick();

    int m_articleIndex = -1; // the left article whose text is in the editor
    QList<QWidget*> m_sheets;
    QList<TArticleTreeWidget*> m_trees;
    QList<TfWeb*> m_webs;
    TProductRows m_products;
};
