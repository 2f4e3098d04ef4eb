#pragma once
// "링크 만들기": anchors written around a piece of an article's text, pointing to an article of
// any tab of the product or to another product of the service.

#include "tagging/Links.h"

#include <QList>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class QTreeWidgetItem;
class Interaction;
class TArticleTreeWidget;
class TEditPlus;
class TfTreeModule;
class TfWeb;

class TfrmLink : public QWidget {
    Q_OBJECT
public:
    explicit TfrmLink(QWidget* parent = nullptr);
    ~TfrmLink() override;

    // Messages and questions of the window (tests put a script here).
    void setInteraction(Interaction* ui);

    bool isInit = false;
    bool Dirty() const;
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
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer();
    bool OpenTargets();
    void FillProductGrid();
    void SelectProductRow(int row);
    void LoadLeftArticle();
    bool SaveArticle();
    void SetDirty(bool on);
    void CloseWindow();
    QString ProductPrefix() const;
    int ChosenTab() const;

    void SourceComboChange(int index);
    void LeftTreeChange(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void TargetTreeChange(int page, QTreeWidgetItem* current);
    void EditorSelectionChange();
    void RecogniseLink();
    void tbConnectClick();
    void tbClearClick();
    void tbSaveClick();
    void tbReloadClick();
    void tbCancelCloseClick();
    void LinkSourcePageChange();
    void SortClick(int order);
    void eSearchChange();
    void btnSearchClick();

    Interaction* m_ui = nullptr;
    Interaction* m_ownUi = nullptr;
    bool m_started = false;
    bool m_discard = false;
    bool m_reverting = false;
    int m_comboIndex = 0;
    int m_articleIndex = -1; // the left article whose text is in the editor
    QList<QWidget*> m_sheets;
    QList<TArticleTreeWidget*> m_trees;
    QList<TfWeb*> m_webs;
    TProductRows m_products;
};
