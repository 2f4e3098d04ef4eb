// The long line splitter on one line: the pieces put together give the line back, no piece is
// empty, and every piece but an unsplit last one is under the limit.
#include "FuzzSupport.h"
#include "tools/LineSplitter.h"
#include "shell/TextFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    return 0;
}

// Input: one flag byte (split before or after, how often the text repeats), the split text up to
// the first NUL, then the line text, repeated until the line is long enough to need splitting.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const QByteArray rest = FuzzBytes(data + 1, size - 1);
    const qsizetype nul = rest.indexOf('\0');
    SplitText sep;
    sep.before = flags & 1;
    sep.text = QString::fromUtf8(nul < 0 ? rest : rest.left(nul));
    QString unit = QString::fromUtf8(nul < 0 ? QByteArray() : rest.mid(nul + 1));
    if (unit.isEmpty())
        unit = QStringLiteral("가");
    QString line;
    const int target = SplitLineLimit + (flags >> 1) * 64;
    while (line.size() < target)
        line += unit;

    QStringList out;
    bool notFound = false, unsplit = false;
    const int added = SplitOneLine(line, sep, out, &notFound, &unsplit);
    FUZZ_CHECK(added == int(out.size()) - 1, "the count of added lines is wrong");
    FUZZ_CHECK(out.join(QString()) == line, "the pieces do not give the line back");
    for (int i = 0; i < out.size(); ++i) {
        FUZZ_CHECK(!out[i].isEmpty(), "an empty piece");
        if (i + 1 < out.size())
            FUZZ_CHECK(out[i].size() < SplitLineLimit, "a cut piece is over the limit");
    }
    if (!unsplit)
        FUZZ_CHECK(out.last().size() < SplitLineLimit || sep.text.isEmpty(), "a long piece is not reported");
    if (notFound)
        FUZZ_CHECK(unsplit, "a split text not found leaves the line unsplit");
    return 0;
}
