#pragma once
// "색인 작업": the reference strings of the keyword tabs, the extraction run into the result
// workbooks (on a worker thread, Esc to stop) and the result grids read back from a workbook.

#include "indexing/KeywordExtract.h"
#include "jobs/JobDefine.h"

#include <QAbstractTableModel>
#include <QList>
#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QTableView;
class QTableWidget;
class QThread;
class QTimer;
class QToolBar;
class QToolButton;
class TArticleTreeWidget;
class WidgetInteraction;

// One result grid's data: row 0 is the header row.
class TResultSheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRows(TSheetRows rows);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TSheetRows m_rows;
};

class TfrmKeyword : public QWidget {
    Q_OBJECT
public:
    explicit TfrmKeyword(QWidget* parent = nullptr);
    ~TfrmKeyword() override;

    bool isInit = false;
    bool SearchInProgress = false;
    int iTimerSec = 0;
    int tabs_now = -1;
    TKeywordColumns schColumns;

    QToolBar* ToolBarConnect = nullptr;
    QToolButton* tbMake = nullptr;
    QToolButton* tbReload = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* TabsCombo = nullptr;
    QTableWidget* gridDefine = nullptr;
    TArticleTreeWidget* aTree = nullptr;
    QWidget* panelPgr = nullptr;
    QLabel* LabelTiming = nullptr;
    QProgressBar* pgrTabs = nullptr;
    QProgressBar* pgrPages = nullptr;
    QProgressBar* pgrExcel = nullptr;
    QSplitter* Splitter2 = nullptr;
    QWidget* panelBottom = nullptr;
    QTabWidget* TableControl = nullptr;
    QLabel* PanelWaiting = nullptr;
    QList<QTableView*> resultGrids;
    QTimer* Timer2 = nullptr;

    bool isReading() const { return m_reader != nullptr; }
    bool isRunning() const { return m_worker != nullptr; }

signals:
    // A run or a reading of results ended (for tests and the status of the window).
    void runFinished(bool completed);
    void resultsShown();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Timer1Timer();
    void Timer2Timer();
    void ShowDefinitions(int entry);
    void tbMakeClick();
    void RunEnded(const TKeywordRunOutcome& outcome);
    void ReadResults(bool markUpdated);
    void ShowResults(const QList<TResultSheet>& sheets, const QString& error, const QString& path);
    void TabsComboChange();
    void TableControlChange(int page);
    QString SelectedArId() const;

    TJobDefine m_job;
    bool m_opened = false;
    int m_lastPage = 0;
    QThread* m_worker = nullptr;
    QThread* m_reader = nullptr;
    int m_readEntry = -1; // the combo box entry whose results are being read
    WidgetInteraction* m_ui = nullptr;
    QList<TResultSheetModel*> m_models;
};
