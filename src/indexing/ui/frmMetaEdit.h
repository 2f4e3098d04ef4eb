#pragma once
// "메타 수정": the meta data of every article of a keyword tab, group by group, edited in place
// with editors placed over the cells, saved into the tab's meta result file; "초기화" builds the
// files of all keyword tabs anew on a worker thread.

#include "indexing/Category.h"
#include "indexing/MetaFile.h"
#include "shell/ui/EditWindow.h"

#include <QList>
#include <QStringList>
#include <array>

class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableWidget;
class QTextEdit;
class QThread;
class QTimer;
class QToolButton;
class QTreeWidgetItem;
class TArticleTreeWidget;
class TEditPlus;
class TfWeb;
class TVUX_codes;
struct TMetaInitOutcome;

class TfrmMetaEdit : public TEditWindow {
    Q_OBJECT
public:
    explicit TfrmMetaEdit(QWidget* parent = nullptr);
    ~TfrmMetaEdit() override;

    TMetaData InputData;
    int tabs_now = -1;
    int floatObject = -1;
    int floatCol = -1, floatRow = -1;
    int floatPointer = -1;
    QString float_is_Code, float_is_MultipleYN, float_is_iTYPE;
    QStringList floatGridOptions;
    int iTimerSec = 0;
    bool isLoadingProgress = false;

    QComboBox* SourceCombo = nullptr;
    QToolButton* tbInitialize = nullptr;
    QToolButton* tbSave = nullptr;
    QToolButton* tbCancel = nullptr;
    QTextEdit* eSource = nullptr;
    QTextEdit* eUnitSrc = nullptr;
    TArticleTreeWidget* Tree = nullptr;
    QWidget* PanelMain = nullptr;
    QWidget* PanelBase = nullptr;
    QWidget* PanelExtra = nullptr;
    QWidget* PanelImage = nullptr;
    QSplitter* SplitterUp = nullptr;
    QSplitter* SplitterDown = nullptr;
    QTableWidget* gridMain = nullptr;
    std::array<QTableWidget*, 11> gridExtArr{}; // [0] unused; 1 ... 9 extended, 10 image
    QTableWidget* gridExt10 = nullptr;
    TfWeb* fWeb1 = nullptr;
    QPlainTextEdit* ColText = nullptr;
    TEditPlus* FloatEdit = nullptr;
    TEditPlus* FloatDate = nullptr;
    QComboBox* FloatComboBox = nullptr;
    QFrame* FloatPanel = nullptr;
    QLabel* FloatLabel = nullptr;
    QPushButton* btnFloatExtAdd = nullptr;
    QPushButton* btnFloatExtDel = nullptr;
    QPushButton* btnFloatExtHide = nullptr;
    QLabel* FloatCountLabel = nullptr;
    QTableWidget* FloatGrid = nullptr;
    QComboBox* ComboBoxOnFloat = nullptr;
    QFrame* PanelMakeData = nullptr;
    QLabel* LabelExcel = nullptr;
    QLabel* LabelTabs = nullptr;
    QLabel* LabelGroups = nullptr;
    QLabel* LabelCounts = nullptr;
    QLabel* LabelTiming = nullptr;
    QProgressBar* TabsProgress = nullptr;
    QProgressBar* MetaProgress = nullptr;
    QProgressBar* RowsProgress = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* FloatTimer = nullptr;

    int shownEntry() const { return m_shownEntry; }
    // The grid of group `g` (0 = gridMain).
    QTableWidget* GroupGrid(int g) const;
    // The extension grid shown, -1 when the panel is collapsed.
    int shownExtension() const { return m_extension; }
    bool initRunning() const { return m_worker != nullptr; }

public slots:
    // The progress panel of a running initialisation.
    void ShowMakeData();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer() override;
    bool LoadTab(int entry);
    void ShowArticle();
    void StoreArticle();
    void ChooseExtensionGrid();
    void SelectCell(QTableWidget* grid, int row);
    void FloatTimerTimer();
    void ApplyEditor();
    void HideEditors();
    void ForgetCell();
    void PlaceEditor(QWidget* editor, QTableWidget* grid, int row);
    void FloatComboChange(int index);
    void FloatGridSelect(int row, int column);
    void ComboBoxOnFloatChoose(int index);
    void btnFloatExtAddClick();
    void btnFloatExtDelClick();
    void MoveMainRow(int delta);
    void TreeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void SourceComboChange(int entry);
    void tbSaveClick();
    void tbCancelClick();
    void tbInitializeClick();
    void InitFinished(const TMetaInitOutcome& outcome);
    void Timer2Timer();
    void ShowCellText(QTableWidget* grid, const QPoint& pos);

    const TVUX_codes* m_codes = nullptr;
    QList<TKeywordTab> m_tabs;
    QFrame* m_panelTop = nullptr;
    QThread* m_worker = nullptr;
    int m_shownEntry = -1;
    int m_node = -1; // the article whose values the grids hold
    int m_extension = -1;
    bool m_applying = false;
};
