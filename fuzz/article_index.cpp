// The article index reader and tree builder: any index file loads or is refused with a message;
// the tree holds one node per entry read, every node hangs below an earlier one at a smaller
// level, and no article file name leaves the tab's article folder.
#include "FuzzSupport.h"
#include "articles/ArticleIndex.h"
#include "jobs/JobLayout.h"
#include "shell/TextFile.h"

#include <QFile>

static TJobDefine g_job;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_job.WorkFolder = FuzzScratchDir();
    g_job.pNAME = QStringLiteral("퍼즈");
    g_job.TabsCount = 1;
    g_job.TabsName[0] = QStringLiteral("본문");
    g_job.TabsFile[0] = QStringLiteral("src");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = ArticleIndexFileName(g_job, 0);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QStringList lines;
    FUZZ_CHECK(ReadTextLines(path, lines), "the index written could not be read");

    QuietInteraction ui;
    TArticleTree tree;
    const bool ok = LoadArticleTree(g_job, 0, tree, ui);
    FUZZ_CHECK(ok || ui.infos > 0, "a refused index was not told");
    if (ok)
        FUZZ_CHECK(tree.count() == 1 + int(lines.size() / 3), "the tree does not hold every entry read");
    else
        FUZZ_CHECK(tree.count() <= 1 + int(lines.size() / 3), "the tree holds more than was read");

    const QString folder = ArticleFolderName(g_job, 0) + '/';
    for (int i = 0; i < tree.count(); ++i) {
        const TArticleNode& n = tree.node(i);
        if (i == 0) {
            FUZZ_CHECK(n.parent == -1 && n.depth == 0, "the root is not the root");
            continue;
        }
        FUZZ_CHECK(n.parent >= 0 && n.parent < i, "a node hangs below a later node");
        const TArticleNode& p = tree.node(n.parent);
        FUZZ_CHECK(n.depth == p.depth + 1, "depth does not follow the parent");
        FUZZ_CHECK(n.parent == 0 || p.info.htagNum < n.info.htagNum, "a parent's level is not smaller");
        FUZZ_CHECK(lines[(i - 1) * 3] == n.info.id && lines[(i - 1) * 3 + 2] == n.title,
                   "node N is not entry N");
        const QString name = ArticleFileName(g_job, 0, &n);
        if (!name.isEmpty()) {
            FUZZ_CHECK(name.startsWith(folder), "an article file lies outside the article folder");
            FUZZ_CHECK(!name.mid(folder.size()).contains('/'), "an article ID names a sub-folder");
        }
    }
    return 0;
}
