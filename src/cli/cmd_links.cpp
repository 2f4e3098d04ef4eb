// quilo links JOBDIR [--tab TAB]...: every inner and product link in the articles, broken ones marked.

#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "tagging/Links.h"

#include <QFileInfo>

static int RunLinks(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("tab")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo links JOBDIR [--tab TAB]..."));
    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;

    QList<bool> ticked(job.TabsCount, !p.has(QStringLiteral("tab")));
    for (const QString& name : p.values(QStringLiteral("tab"))) {
        int found = -1;
        for (int t = 0; t < job.TabsCount && found < 0; ++t)
            if (job.TabsName[size_t(t)] == name)
                found = t;
        if (found < 0)
            return UsageError(QStringLiteral("no tab named \"%1\" in this job").arg(name));
        ticked[found] = true;
    }

    if (!QFileInfo(BookInfoFileName()).isFile())
        Err(NoProductListMessage);
    const TProductRows products = LoadBookInfo(BookInfoFileName());
    ConsoleInteraction ui;
    const TLinkCheck check = CheckJobLinks(job, ticked, products, ui);
    int broken = 0;
    for (const TFoundLink& f : check.links) {
        QString line = f.file + u'\t' + f.target + u'\t' + f.text;
        if (!f.problem.isEmpty()) {
            line += u'\t' + f.problem;
            ++broken;
        }
        Out(line);
    }
    Err(QStringLiteral("링크 %1개, 잘못된 링크 %2개").arg(check.links.size()).arg(broken));
    return broken == 0 && check.complete ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("links"), QStringLiteral("JOBDIR [--tab TAB]..."),
                             QStringLiteral("list the inner and product links of the articles "
                                            "(file, target, text, problem) and mark the broken ones"),
                             RunLinks});
