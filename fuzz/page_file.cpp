// The page file "{tab}_pageinfo.txt" through `ReadPageInfo`: one "Main" or "page" row per node, the
// root and nodes with child nodes always "Main"; the grouped contents built from the rows never
// fail and number the rows as `ContentNumbers` does; the rows written read back unchanged.
// The first byte is the node count, the next ones the nodes' heading levels; the rest is the file.
#include "FuzzSupport.h"
#include "articles/ArticleIndex.h"
#include "shell/TextFile.h"
#include "tagging/PageInfo.h"

#include <QFile>

static QString g_dir, g_path;

// Each node hangs below the nearest earlier node of a smaller level, as the index reader builds it.
static TArticleTree BuildTree(const uint8_t* levels, int count)
{
    TArticleTree tree;
    tree.addRoot(QStringLiteral("본문"));
    std::vector<int> levelOf{0};
    for (int i = 1; i < count; ++i) {
        const int level = 1 + levels[i - 1] % 4;
        int parent = i - 1;
        while (parent > 0 && levelOf[size_t(parent)] >= level)
            parent = tree.node(parent).parent;
        tree.addChild(parent, QStringLiteral("(page %1)").arg(i), THeaderInfo{QString::number(i), level});
        levelOf.push_back(level);
    }
    return tree;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_dir = FuzzScratchDir() + QStringLiteral("/pages");
    g_path = g_dir + QStringLiteral("/본문_pageinfo.txt");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int count = 1 + data[0] % 48;
    if (size < size_t(count))
        return 0;
    const TArticleTree tree = BuildTree(data + 1, count);
    QDir(g_dir).removeRecursively();
    QDir().mkpath(g_dir);
    {
        QFile f(g_path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data + count), qint64(size - size_t(count)));
    }
    QStringList lines;
    FUZZ_CHECK(ReadTextLines(g_path, lines), "the file written could not be read");

    QStringList rows;
    const TPageInfoRead read = ReadPageInfo(g_path, tree, rows);
    FUZZ_CHECK(read.ok && read.exists && read.lineCount == lines.size(), "the read does not describe the file");
    FUZZ_CHECK(rows.size() == count && rows[0] == PageMain, "not one row per node from a Main root");
    int pages = 0;
    for (int i = 0; i < count; ++i) {
        FUZZ_CHECK(rows[i] == PageMain || rows[i] == PagePage, "a row is neither Main nor page");
        if (rows[i] == PagePage) {
            ++pages;
            FUZZ_CHECK(tree.node(i).children.empty(), "a node with sub-articles is a page");
            FUZZ_CHECK(lines[i] == PagePage, "a page row the file did not mark");
        }
        if (!read.changed)
            FUZZ_CHECK(i < lines.size() && lines[i] == rows[i], "rows differ from the file but no change was told");
    }

    const TPageContents contents = BuildPageContents(tree, rows);
    FUZZ_CHECK(contents.failedRow == -1, "the rows the reader gives cannot be grouped");
    FUZZ_CHECK(int(contents.pointers.size()) == count - pages && contents.parents.size() == contents.pointers.size(),
               "the contents do not hold every main article");
    for (size_t j = 1; j < contents.pointers.size(); ++j) {
        FUZZ_CHECK(contents.parents[j] >= 0 && size_t(contents.parents[j]) < j, "a contents node below a later one");
        FUZZ_CHECK(contents.pointers[j] > contents.pointers[j - 1], "contents out of article order");
    }
    const std::vector<int> numbers = ContentNumbers(rows, count);
    FUZZ_CHECK(numbers.front() == 1 && numbers.back() == count - pages, "content numbers do not count main articles");
    for (size_t j = 0; j < contents.pointers.size(); ++j)
        FUZZ_CHECK(numbers[size_t(contents.pointers[j])] == int(j) + 1, "a main article's number is not its contents node");

    QString error;
    FUZZ_CHECK(WriteLinkFile(g_path, rows, &error), "the rows could not be written");
    QStringList again;
    const TPageInfoRead reread = ReadPageInfo(g_path, tree, again);
    FUZZ_CHECK(reread.ok && !reread.changed && again == rows, "written rows read back differently");
    std::vector<int> loaded;
    FUZZ_CHECK(LoadContentNumbers(g_path, count, loaded) && loaded == numbers,
               "the upload numbers the written file differently");
    return 0;
}
