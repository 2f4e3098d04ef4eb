// quilo pages JOBDIR --tab TAB [--by-title]: the page grouping of a tab, optionally marked by title and saved.

#include "articles/ArticleIndex.h"
#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "tagging/PageInfo.h"


static int RunPages(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("tab")}, {QStringLiteral("by-title")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1 || !p.has(QStringLiteral("tab")))
        return UsageError(QStringLiteral("usage: quilo pages JOBDIR --tab TAB [--by-title]"));
    TJobDefine job;
    ConsoleInteraction ui;
    TArticleTree tree;
    const int tab = OpenArticleJobTree(p.positional[0], p.value(QStringLiteral("tab")), job, tree, ui);
    if (tab < 0)
        return 1;

    const QString path = PageInfoFileName(job, tab);
    QStringList rows;
    const TPageInfoRead read = ReadPageInfo(path, tree, rows);
    if (!read.ok) {
        Err(path + QStringLiteral(": ") + read.error);
        return 1;
    }
    if (p.has(QStringLiteral("by-title"))) {
        rows = PagesByTitle(tree);
        QString error;
        if (!WriteLinkFile(path, rows, &error)) {
            Err(error);
            return 1;
        }
        Err(PagesSavedMessage);
        Err(path);
    } else if (read.changed) {
        Err(QStringLiteral("페이지가 변경되었습니다."));
    }

    const std::vector<int> numbers = ContentNumbers(rows, tree.count());
    for (int i = 0; i < tree.count(); ++i)
        Out(QStringLiteral("%1\t%2\t%3\t%4").arg(i).arg(rows[i]).arg(numbers[size_t(i)]).arg(tree.node(i).title));
    return 0;
}

static CommandRegistrar reg({QStringLiteral("pages"), QStringLiteral("JOBDIR --tab TAB [--by-title]"),
                             QStringLiteral("page grouping of a tab (node, Main/page, content number, title); "
                                            "--by-title marks pages by title and saves"),
                             RunPages});
