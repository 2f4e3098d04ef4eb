// quilo tree JOBDIR --tab NAME: the article tree of a tab as the windows build it.

#include "articles/ArticleIndex.h"
#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "shell/Interaction.h"

#include <QDir>
#include <QFileInfo>

int OpenArticleJobTab(const QString& folderArg, const QString& tabName, TJobDefine& job)
{
    if (!OpenJobFolder(folderArg, job))
        return -1;
    for (int i = 0; i < job.TabsCount; ++i)
        if (job.TabsName[i] == tabName)
            return i;
    Err(QStringLiteral("탭 [%1]이(가) 작업에 없습니다.").arg(tabName));
    return -1;
}

int OpenArticleJobTree(const QString& folderArg, const QString& tabName, TJobDefine& job, TArticleTree& tree,
                       Interaction& ui)
{
    const int tab = OpenArticleJobTab(folderArg, tabName, job);
    return tab >= 0 && LoadArticleTree(job, tab, tree, ui) ? tab : -1;
}

static int RunTree(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {"tab"});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1 || !p.has("tab"))
        return UsageError(QStringLiteral("usage: quilo tree JOBDIR --tab NAME"));
    TJobDefine job;
    const int tab = OpenArticleJobTab(p.positional[0], p.value("tab"), job);
    if (tab < 0)
        return 1;
    ConsoleInteraction ui;
    TArticleTree tree;
    const bool ok = LoadArticleTree(job, tab, tree, ui);
    // A faulty index still shows the entries read before the fault.
    for (int i = 0; i < tree.count(); ++i) {
        const TArticleNode& n = tree.node(i);
        Out(QStringLiteral("%1\t%2\t%3\t%4\t%5").arg(i).arg(n.depth).arg(n.info.id).arg(n.info.htagNum).arg(n.title));
    }
    return ok ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("tree"), QStringLiteral("JOBDIR --tab NAME"),
                             QStringLiteral("print the article tree of a tab (index, depth, ID, level, title)"),
                             RunTree});
