// The connection file "{base tab}_connect.txt" through `ReadConnectFile`: any bytes give exactly
// one row per base node, each "-" or a plain number that the line held; the rows written back
// read the same with no line refused. The first byte is the base tab's node count.
#include "FuzzSupport.h"
#include "shell/TextFile.h"
#include "tagging/TabConnect.h"

#include <QFile>

static QString g_in, g_out;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_in = FuzzScratchDir() + QStringLiteral("/in_connect.txt");
    g_out = FuzzScratchDir() + QStringLiteral("/out_connect.txt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int count = data[0] % 64;
    {
        QFile f(g_in);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    QStringList lines;
    FUZZ_CHECK(ReadTextLines(g_in, lines), "the file written could not be read");

    const TConnectRead read = ReadConnectFile(g_in, count);
    FUZZ_CHECK(read.fileFound && read.error.isEmpty(), "a readable file was not found");
    FUZZ_CHECK(read.rows.size() == count, "not one row per base node");
    int nextUnusable = 0;
    for (int i = 0; i < count; ++i) {
        const QString& row = read.rows[i];
        int node = -2;
        FUZZ_CHECK(ParseConnectValue(row, &node), "a row the reader gives is not a connection value");
        FUZZ_CHECK(row == NotConnected || row == QString::number(node), "a row is not in its plain form");
        if (i >= lines.size()) {
            FUZZ_CHECK(row == NotConnected, "a missing line does not read as \"-\"");
            continue;
        }
        int fromLine = -2;
        const bool usable = ParseConnectValue(lines[i], &fromLine);
        const bool listed = nextUnusable < read.unusable.size() && read.unusable[nextUnusable] == i;
        FUZZ_CHECK(usable != listed, "a line is listed as unusable exactly when it is not a value");
        if (listed) {
            ++nextUnusable;
            FUZZ_CHECK(row == NotConnected, "an unusable line does not read as \"-\"");
        } else {
            FUZZ_CHECK(node == fromLine, "a row differs from the number its line held");
        }
    }
    FUZZ_CHECK(nextUnusable == read.unusable.size(), "an unusable line lies beyond the rows");
    FUZZ_CHECK(read.unusable.isEmpty() == UnusableConnectLinesMessage(g_in, read.unusable).isEmpty(),
               "unusable lines without a message");

    QString error;
    FUZZ_CHECK(WriteConnectFile(g_out, read.rows, &error), "the rows could not be written");
    const TConnectRead again = ReadConnectFile(g_out, count);
    FUZZ_CHECK(again.rows == read.rows && again.unusable.isEmpty(), "written rows read back differently");
    return 0;
}
