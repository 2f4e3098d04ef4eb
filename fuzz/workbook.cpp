// The workbook reader over the whole file (zip container and XML parts): any bytes open or are
// refused with a reason; a sheet read is a used range of equal rows within the cell bound whose
// last row and last column hold a value, no cell longer than the inflation bound; and what the
// tight bounds let through reads the same with the default ones.
#include "FuzzSupport.h"
#include "indexing/Workbook.h"

#include <QFile>

static QString g_path;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_path = FuzzScratchDir() + QStringLiteral("/색인_본문.xlsx");
    return 0;
}

static void CheckRange(const TSheetRows& rows, const TWorkbookLimits& limits)
{
    FUZZ_CHECK(rows.size() <= WorkbookMaxRows, "more rows than a sheet holds");
    if (rows.isEmpty())
        return;
    const qsizetype cols = rows.first().size();
    FUZZ_CHECK(cols >= 1 && cols <= WorkbookMaxColumns, "a used range without columns or beyond the sheet");
    FUZZ_CHECK(qint64(rows.size()) * cols <= limits.maxCells, "a used range beyond the cell bound");
    bool lastRowUsed = false, lastColUsed = false;
    for (const QStringList& row : rows) {
        FUZZ_CHECK(row.size() == cols, "rows of unequal length");
        for (const QString& cell : row)
            FUZZ_CHECK(cell.size() <= limits.maxEntryBytes, "a cell longer than the inflation bound");
        lastColUsed = lastColUsed || !row.last().isEmpty();
    }
    for (const QString& cell : rows.last())
        lastRowUsed = lastRowUsed || !cell.isEmpty();
    FUZZ_CHECK(lastRowUsed && lastColUsed, "the used range reaches past the last value");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile f(g_path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    TWorkbookLimits tight;
    tight.maxEntryBytes = qint64(1) << 20;
    tight.maxCells = qint64(1) << 16;

    TWorkbookReader reader;
    QString error;
    if (!reader.Open(g_path, &error, tight)) {
        FUZZ_CHECK(!error.isEmpty(), "a workbook refused without a reason");
        return 0;
    }
    TWorkbookReader wide;
    FUZZ_CHECK(wide.Open(g_path, &error), "the default bounds refuse what the tight ones took");
    FUZZ_CHECK(wide.SheetNames() == reader.SheetNames(), "the bounds change the sheet list");
    const QStringList names = reader.SheetNames();
    for (int i = 0; i < names.size() && i < 4; ++i) {
        TSheetRows rows;
        error.clear();
        if (!reader.ReadSheet(names[i], rows, &error)) {
            FUZZ_CHECK(!error.isEmpty() && rows.isEmpty(), "a sheet refused without a reason or with rows");
            continue;
        }
        CheckRange(rows, tight);
        SheetRowsText(rows);
        TSheetRows again;
        FUZZ_CHECK(wide.ReadSheet(names[i], again, &error) && again == rows, "the bounds change a sheet's content");
    }
    TSheetRows none;
    const QString missing = QStringLiteral("\x01없는 시트");
    FUZZ_CHECK(names.contains(missing) || !reader.ReadSheet(missing, none, &error), "a missing sheet reads");
    return 0;
}
