// The generator's heading check over one source file, with the same line scan the generator runs.
// Any text is either refused with a message or gives headings whose IDs follow the tree; the
// rewritten file checked once more changes nothing and gives the same IDs.
#include "FuzzSupport.h"
#include "articles/ArticleGenerator.h"
#include "shell/TextFile.h"

static TJobDefine g_job;

struct Checked {
    bool ok = true;
    QStringList lines;
    std::vector<THeadingEntry> entries;
    int changed = 0;
};

// The scan of one file as the generator does it (the long-line branch aside).
static Checked Check(const QStringList& source)
{
    QuietInteraction ui;
    TArticleGenerator gen(g_job, ui);
    gen.ResetTree();
    gen.SourceLines = source;
    gen.sFileNow = QStringLiteral("a.txt");
    Checked r;
    for (int n = 0; n < int(gen.SourceLines.size()); ++n) {
        const QString line = gen.SourceLines.at(n);
        if (line.size() > MaxSourceLineLength)
            break;
        qsizetype p = line.indexOf(QLatin1String("<h"));
        if (p < 0)
            p = line.indexOf(QLatin1String("<H"));
        if (p < 0 || p + 2 >= line.size())
            continue;
        const char16_t digit = line.at(p + 2).unicode();
        if (digit < u'0' || digit > u'9')
            continue;
        qsizetype q = line.indexOf(QLatin1String("</h"));
        if (q < 0)
            q = line.indexOf(QLatin1String("</H"));
        if (q < 0)
            continue;
        if (!gen.CheckTree(n, p, q, int(digit - u'0'))) {
            FUZZ_CHECK(ui.infos > 0, "a refused heading was not told");
            r.ok = false;
            break;
        }
    }
    r.lines = gen.SourceLines;
    r.entries = gen.IndexInfo();
    r.changed = gen.iChanged;
    return r;
}

// A line with more than one "<h"/"<H" or "</h"/"</H": the scan takes the first lower-case "<h"
// (digit or not) before any upper-case one, and its own upper-case rewrite then lets another
// piece of the line be found on the next run ("<h1>a <hr> b</h1>" is skipped the second time).
// Such lines are left out of the stability check; see fuzz/README.md.
static bool SeveralTags(const QString& line)
{
    int open = 0, close = 0;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        if (line[i] != '<')
            continue;
        const QChar a = line[i + 1];
        if (a == 'h' || a == 'H')
            ++open;
        if (a == '/' && i + 2 < line.size() && (line[i + 2] == 'h' || line[i + 2] == 'H'))
            ++close;
    }
    return open > 1 || close > 1;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_job.WorkFolder = FuzzScratchDir();
    g_job.pNAME = QStringLiteral("퍼즈");
    g_job.TabsCount = 1;
    g_job.TabsName[0] = QStringLiteral("본문");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList source = SplitLines(DecodeText(FuzzBytes(data, size)));
    const Checked first = Check(source);
    FUZZ_CHECK(first.lines.size() == source.size(), "the check adds or drops lines");

    int previousDepth = 0;
    for (const THeadingEntry& e : first.entries) {
        const QStringList parts = e.id.split('_');
        FUZZ_CHECK(!e.id.isEmpty() && int(parts.size()) <= previousDepth + 1, "an ID skips a level");
        for (const QString& part : parts)
            FUZZ_CHECK(part.toInt() >= 1, "an ID part is not a position");
        FUZZ_CHECK(!e.title.isEmpty() && !e.title.startsWith('='), "a refused title was taken");
        previousDepth = int(parts.size());
    }
    if (!first.ok)
        return 0;
    for (const QString& line : source)
        if (SeveralTags(line))
            return 0;

    const Checked again = Check(first.lines);
    FUZZ_CHECK(again.ok, "the rewritten file is refused");
    FUZZ_CHECK(again.lines == first.lines, "checking the rewritten file changes it again");
    FUZZ_CHECK(again.entries.size() == first.entries.size(), "the rewritten file has other headings");
    for (size_t i = 0; i < first.entries.size(); ++i)
        FUZZ_CHECK(again.entries[i].id == first.entries[i].id && again.entries[i].level == first.entries[i].level,
                   "the rewritten file numbers its headings differently");
    return 0;
}
