// The workbook reader over the whole file (zip container and XML parts): any bytes open or are
// refused with a reason; a sheet read is a used range of equal rows within the cell bound whose
// last row and last column hold a value, no cell longer than the inflation bound; and what the
// tight bounds let through reads the same with the default ones.
#include "FuzzSupport.h"
#include "indexing/Workbook.h"

#include <QFile>

#include <zlib.h>

static QString g_path;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_path = FuzzScratchDir() + QStringLiteral("/색인_본문.xlsx");
    return 0;
}

static quint32 Le(const char* p, int n)
{
    quint32 v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | uchar(p[i]);
    return v;
}

static void Put32(char* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char(v >> (8 * i));
}

// A mutated stored part would almost never match its checksum, and the reader refuses it before
// the sheet's range is built; so the checksums and sizes of stored parts are made to fit first.
// Deflated parts keep theirs and still reach the refusal of a damaged part.
static void FitStoredChecksums(QByteArray& zip)
{
    char* b = zip.data();
    const quint64 n = quint64(zip.size());
    if (n < 22)
        return;
    qint64 end = -1;
    for (qint64 i = qint64(n) - 22; i >= 0 && i >= qint64(n) - 22 - 65535; --i)
        if (Le(b + i, 4) == 0x06054b50) {
            end = i;
            break;
        }
    if (end < 0)
        return;
    const quint32 count = Le(b + end + 10, 2);
    quint64 pos = Le(b + end + 16, 4);
    for (quint32 k = 0; k < count; ++k) {
        if (pos + 46 > n || Le(b + pos, 4) != 0x02014b50)
            return;
        const quint64 packed = Le(b + pos + 20, 4);
        const quint64 offset = Le(b + pos + 42, 4);
        if (Le(b + pos + 10, 2) == 0 && offset + 30 <= n && Le(b + offset, 4) == 0x04034b50) {
            const quint64 data = offset + 30 + Le(b + offset + 26, 2) + Le(b + offset + 28, 2);
            if (data + packed <= n) {
                const quint32 crc = quint32(crc32(0L, reinterpret_cast<const Bytef*>(b + data), uInt(packed)));
                Put32(b + pos + 16, crc);
                Put32(b + pos + 24, quint32(packed));
                Put32(b + offset + 14, crc);
                Put32(b + offset + 22, quint32(packed));
            }
        }
        pos += 46 + Le(b + pos + 28, 2) + Le(b + pos + 30, 2) + Le(b + pos + 32, 2);
    }
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
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    FitStoredChecksums(bytes);
    {
        QFile f(g_path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(bytes);
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
