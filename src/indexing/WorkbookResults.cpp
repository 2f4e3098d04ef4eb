#include "indexing/WorkbookResults.h"

#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"

#include <QFileInfo>

#include <algorithm>

QString MsgRowWriteError(int row, const QString& error)
{
    return QStringLiteral("기록 중 오류가 발생했습니다.\r\nExcel 줄번호 = ") + QString::number(row) +
           QStringLiteral("\r\n") + error;
}

QString MsgNoResults(const QString& tabName)
{
    return tabName + QStringLiteral(": 검색 결과가 없습니다.");
}

QString MsgWorkbookUnreadable(const QString& path, const QString& reason)
{
    return QStringLiteral("결과 파일을 읽을 수 없습니다.\r\n") + path + QStringLiteral("\r\n") + reason;
}

void TKeywordResults::Reset(int rows, int columns)
{
    m_columns = std::max(0, columns);
    m_rows.clear();
    m_rows.resize(size_t(std::max(0, rows)));
}

QString TKeywordResults::At(int row, int column) const
{
    if (row < 0 || row >= RowCount())
        return {};
    return m_rows[size_t(row)].value(column);
}

void TKeywordResults::Set(int row, int column, const QString& text)
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= m_columns)
        return;
    if (text.isEmpty())
        m_rows[size_t(row)].remove(column);
    else
        m_rows[size_t(row)].insert(column, text);
}

TProgressTicker::TProgressTicker(Interaction& ui, int bar, qint64 maximum)
    : m_ui(ui)
    , m_bar(bar)
    , m_maximum(std::max<qint64>(0, maximum))
{
    m_ui.Progress(m_bar, 0, m_maximum);
    m_shown = 0;
}

void TProgressTicker::Set(qint64 position)
{
    m_position = std::clamp<qint64>(position, 0, m_maximum);
    const int permille = m_maximum > 0 ? int(m_position * 1000 / m_maximum) : 0;
    if (permille != m_shown) {
        m_shown = permille;
        m_ui.Progress(m_bar, m_position, m_maximum);
    }
}

TWorkbookWrite WriteKeywordWorkbook(const QString& path, const TArticleTree& tree, const TVUX_codes& codes,
                                    const TKeywordResults& results, bool hasReferences, Interaction& ui,
                                    const std::function<bool()>& stop, int bar)
{
    const int groups = codes.vux_GroupCount;
    const int nodes = tree.count();
    TWorkbookWriter book(path);
    TProgressTicker progress(ui, bar, qint64(nodes) * groups);
    QString error;

    for (int g = 0; g < groups; ++g) {
        if (stop())
            return TWorkbookWrite::Stopped;
        const QString name = codes.GetGroupName(g);
        if (!book.AddSheet(name, &error)) {
            ui.ShowInfo(MsgRowWriteError(1, error));
            return TWorkbookWrite::Failed;
        }
        const TVuxGroup group = codes.vux_Groups[g];
        const int columns = group.Count;
        QStringList header{WorkbookHeaderTitle};
        for (int j = 0; j < columns; ++j)
            header << codes.vux_Columns[group.First + j].ColumnName;
        if (!book.WriteRow(1, header, &error)) {
            ui.ShowInfo(MsgRowWriteError(1, error));
            return TWorkbookWrite::Failed;
        }

        const bool image = name == ImageGroupName;
        const int dataStart = g == 0 ? 1 : 0;
        // The image columns are split into work lists only for a tab with reference strings.
        if (image && hasReferences && columns - dataStart > MaxImageDataColumns) {
            ui.ShowInfo(MsgImageColumns);
            return TWorkbookWrite::TooManyImageColumns;
        }
        int row = 2;
        // One list for the sheet's rows: a big book has tens of thousands of them, most without values.
        QStringList values(columns + 1);
        bool filled = false;
        for (int k = 1; k < nodes; ++k) {
            progress.Step();
            if (stop())
                return TWorkbookWrite::Stopped;
            const QString title = tree.node(k).title;
            values[0] = title;
            if (g == 0 && columns > 0)
                values[1] = title;

            if (!image) {
                const bool data = hasReferences && !results.RowEmpty(k - 1);
                if (data || filled)
                    for (int j = dataStart; j < columns; ++j)
                        values[1 + j] = data ? results.At(k - 1, group.First + j) : QString();
                filled = data;
                for (const QString& v : values) {
                    if (v.startsWith('=')) {
                        ui.ShowInfo(MsgEqualsRefused);
                        return TWorkbookWrite::Failed;
                    }
                }
                if (!book.WriteRow(row, values, &error)) {
                    ui.ShowInfo(MsgRowWriteError(row, error));
                    return TWorkbookWrite::Failed;
                }
                ++row;
                continue;
            }

            // Image sheet: one row per item of the longest column; only the first carries the title.
            QList<QStringList> items;
            int longest = 0;
            if (hasReferences && !results.RowEmpty(k - 1)) {
                for (int j = dataStart; j < columns; ++j) {
                    items << SplitFields(results.At(k - 1, group.First + j), QStringLiteral("^"));
                    longest = std::max(longest, int(items.back().size()));
                }
            }
            for (int m = 0; m < std::max(1, longest); ++m) {
                for (int j = dataStart; j < columns; ++j) {
                    const QStringList& list = items.isEmpty() ? QStringList() : items[j - dataStart];
                    values[1 + j] = m < list.size() ? list[m] : QString();
                }
                if (!book.WriteRow(row, values, &error)) {
                    ui.ShowInfo(MsgRowWriteError(row, error));
                    return TWorkbookWrite::Failed;
                }
                ++row;
                values[0].clear();
            }
        }
    }
    progress.Set(qint64(nodes) * groups);
    if (!book.Save(&error)) {
        ui.ShowInfo(path + QStringLiteral(": 저장할 수 없습니다.\r\n") + error);
        return TWorkbookWrite::Failed;
    }
    return TWorkbookWrite::Saved;
}

TSheetRows MergeContinuationRows(const TSheetRows& used)
{
    int width = 0;
    for (const QStringList& r : used)
        width = std::max(width, int(r.size()));
    TSheetRows out;
    out.reserve(used.size());
    for (int i = 0; i < used.size(); ++i) {
        QStringList row = used[i];
        while (row.size() < width)
            row << QString();
        const bool continuation = i > 1 && !out.isEmpty() && row.value(0).isEmpty();
        if (!continuation) {
            out << row;
            continue;
        }
        QStringList& above = out.last();
        for (int j = 1; j < width; ++j)
            above[j] += QLatin1Char('^') + row[j];
    }
    return out;
}

TSheetRows RemoveEmptyColumns(const TSheetRows& rows, bool* hasData)
{
    TSheetRows out = rows;
    const int width = rows.isEmpty() ? 0 : int(rows.first().size());
    QList<int> keep{0};
    for (int j = 1; j < width; ++j) {
        for (int r = 1; r < out.size(); ++r) {
            QString& cell = out[r][j];
            if (cell.isEmpty())
                continue;
            if (QString(cell).remove(QLatin1Char('^')).isEmpty()) {
                cell.clear();
                continue;
            }
            keep << j;
            break;
        }
    }
    if (hasData)
        *hasData = keep.size() > 1;
    if (keep.size() == width)
        return out;
    for (QStringList& row : out) {
        QStringList kept;
        kept.reserve(keep.size());
        for (int j : keep)
            kept << row[j];
        row = kept;
    }
    return out;
}

bool ReadResultSheets(const QString& path, const TVUX_codes& codes, QList<TResultSheet>& sheets,
                      QString* error, Interaction* ui)
{
    sheets.clear();
    TWorkbookReader reader;
    if (!reader.Open(path, error))
        return false;
    const int groups = codes.vux_GroupCount;
    for (int g = 0; g < groups; ++g) {
        if (ui)
            ui->Progress(0, g + 1, groups);
        TResultSheet sheet;
        sheet.name = codes.GetGroupName(g);
        TSheetRows used;
        if (!reader.ReadSheet(sheet.name, used, error))
            return false;
        sheet.rows = RemoveEmptyColumns(MergeContinuationRows(used), &sheet.hasData);
        sheets << sheet;
    }
    return true;
}
