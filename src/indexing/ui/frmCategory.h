#pragma once
// "분류 지정": the two subjects of every article of a keyword tab, beside the tab's article tree,
// saved into the tab's category file.

#include "indexing/Category.h"
#include "shell/ui/EditWindow.h"

#include <QList>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QToolButton;
class TfTreeModule;

class TfrmCategory : public TEditWindow {
    Q_OBJECT
public:
    explicit TfrmCategory(QWidget* parent = nullptr);
    ~TfrmCategory() override;

    int iSubjectEtc1 = -1;
    int iSubjectEtc2 = -1;
    QString defaultSubj1_code, defaultSubj2_code;
    QString defaultSubj1_name, defaultSubj2_name;

    QWidget* PanelMain = nullptr;
    QWidget* PanelTop = nullptr;
    QComboBox* SourceCombo = nullptr;
    QToolButton* tbClearAll = nullptr;
    QToolButton* tbReload = nullptr;
    QToolButton* tbSet = nullptr;
    QToolButton* tbSave = nullptr;
    QToolButton* tbCancelClose = nullptr;
    TfTreeModule* TreeModule = nullptr;
    QTableWidget* GridList = nullptr;
    QWidget* PanelSet = nullptr;
    QLabel* Panel3 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QGroupBox* RadioGroup2 = nullptr;
    QPushButton* btnSetCat = nullptr;
    QPushButton* btnCancelCat = nullptr;

    // The grid's content as the file would get it, and the tab shown.
    const TCategoryGrid& grid() const { return m_grid; }
    int shownEntry() const { return m_shownEntry; }
    // The selected item of a radio group, -1 when none.
    int RadioIndex(QGroupBox* group) const;
    void SetRadioIndex(QGroupBox* group, int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer() override;
    bool InitAll(int entry);
    void ReadCategory();
    void ShowGrid();
    void SizeGrid();
    void setPanelSet();
    void FillRadioGroup(QGroupBox* group, QButtonGroup* buttons, const QString& caption, const QStringList& items);

    void SourceComboChange(int entry);
    void tbClearAllClick();
    void tbReloadClick();
    void tbSetClick();
    void tbSaveClick();
    void btnSetCatClick();
    void btnCancelCatClick();
    void RadioGroup1Click();
    void GridListSelectCell(int row);
    void TreeNodeShown(int absoluteIndex);
    void SyncTreeScroll();

    QButtonGroup* m_radio1 = nullptr;
    QButtonGroup* m_radio2 = nullptr;
    QList<TKeywordTab> m_tabs;
    TCategoryGrid m_grid;
    TSubjectChoices m_choices;
    int m_shownEntry = -1;
    int m_setRow = -1;
    bool m_syncing = false;
};
