#pragma once
// The keyword result workbook "색인_{tab}.xls": one sheet per code-table group, named after the
// group; row 1 "헤더" and the column names; then one row per article (titles in column A, in
// group 0 also in its first column), on the image sheet one row per picture of an article with
// column A empty in the further rows. Meta data initialisation reads the same layout.

#include "articles/ArticleIndex.h"
#include "indexing/Workbook.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Interaction;
class TVUX_codes;

inline const QString WorkbookHeaderTitle = QStringLiteral("헤더");
inline const QString ImageGroupName = QStringLiteral("이미지");
inline const QString MsgEqualsRefused =
    QStringLiteral("제목 혹은 데이터의 첫 문자에는 '='를 사용할 수 없습니다.");
inline const QString MsgImageColumns = QStringLiteral("IMAGE MAX_DataColCount 오류입니다.");
constexpr int MaxImageDataColumns = 100;

// "기록 중 오류가 발생했습니다.\r\nExcel 줄번호 = " + row + "\r\n" + error.
QString MsgRowWriteError(int row, const QString& error);
// tab + ": 검색 결과가 없습니다."
QString MsgNoResults(const QString& tabName);
// Why a workbook could not be read, for the operator.
QString MsgWorkbookUnreadable(const QString& path, const QString& reason);

// The results of one tab: row k - 1 belongs to tree node k, one text per code-table column.
// Rows hold only the columns that found something, so a large tab costs little.
class TKeywordResults {
public:
    void Reset(int rows, int columns);
    void Clear() { Reset(0, 0); }
    int RowCount() const { return int(m_rows.size()); }
    int ColumnCount() const { return m_columns; }
    QString At(int row, int column) const;
    // No value in any column of the row: most rows of a big book.
    bool RowEmpty(int row) const { return row < 0 || row >= RowCount() || m_rows[size_t(row)].isEmpty(); }
    void Set(int row, int column, const QString& text);

private:
    int m_columns = 0;
    std::vector<QHash<int, QString>> m_rows;
};

// Moves a progress bar only when its thousandth changes, so a window fed from a worker thread
// gets a few hundred updates instead of one per row.
class TProgressTicker {
public:
    TProgressTicker(Interaction& ui, int bar, qint64 maximum);
    void Set(qint64 position);
    void Step() { Set(m_position + 1); }

private:
    Interaction& m_ui;
    int m_bar;
    qint64 m_maximum;
    qint64 m_position = 0;
    int m_shown = -1;
};

enum class TWorkbookWrite {
    Saved,
    Stopped,         // the stop check said so; nothing saved
    Failed,          // "=" refused, a row or the file could not be written; the message was shown
    TooManyImageColumns // message shown; the keyword window closes
};

// Writes the tab's workbook to `path` from its article tree and results. `hasReferences` false:
// titles only. Progress on bar `bar` (nodes x groups); `stop` is asked at every sheet and row.
TWorkbookWrite WriteKeywordWorkbook(const QString& path, const TArticleTree& tree, const TVUX_codes& codes,
                                    const TKeywordResults& results, bool hasReferences, Interaction& ui,
                                    const std::function<bool()>& stop, int bar = 2);

// One result grid: row 0 is the header row.
struct TResultSheet {
    QString name;
    TSheetRows rows;
    bool hasData = false; // some data column is left
};

// Rows whose column A is empty continue the article above: each of their cells j > 0 is added
// to the cell above as existing + "^" + new (also when new is empty). The header row is never
// continued. Rows are padded to the widest row.
TSheetRows MergeContinuationRows(const TSheetRows& used);

// Drops the data columns (1 ...) that hold nothing but "^"; the cells of only "^" above a
// column's first real value are emptied. Column 0 always stays. `hasData` tells whether any
// data column stayed.
TSheetRows RemoveEmptyColumns(const TSheetRows& rows, bool* hasData = nullptr);

// The result grids of a workbook, one per code-table group, sheets looked up by group name.
// False with the reason when the file cannot be read or a sheet is missing. Progress on bar 0.
bool ReadResultSheets(const QString& path, const TVUX_codes& codes, QList<TResultSheet>& sheets,
                      QString* error, Interaction* ui = nullptr);
