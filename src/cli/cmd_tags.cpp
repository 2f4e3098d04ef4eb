// quilo tags JOBDIR [--tab NAME]...: the used tag statistics of a job's articles.

#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "shell/Interaction.h"
#include "tools/UsedTags.h"

#include <QDir>
#include <QFileInfo>

static int RunTags(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("tab")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo tags JOBDIR [--tab NAME]..."));
    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;

    QList<bool> ticked(job.TabsCount, !p.has(QStringLiteral("tab")));
    for (const QString& name : p.values(QStringLiteral("tab"))) {
        int found = -1;
        for (int t = 0; t < job.TabsCount && found < 0; ++t)
            if (job.TabsName[t] == name)
                found = t;
        if (found < 0)
            return UsageError(QStringLiteral("no tab named \"%1\" in this job").arg(name));
        ticked[found] = true;
    }

    ConsoleInteraction ui;
    const TUsedTagsOutcome outcome = CountUsedTags(job, ticked, ui);
    if (!outcome.started)
        return 1;
    QString text = UsedTagsClipboardText(outcome.rows);
    text.chop(1); // Out ends the last line itself
    Out(text);
    return outcome.completed && outcome.unreadable == 0 ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("tags"), QStringLiteral("JOBDIR [--tab NAME]..."),
                             QStringLiteral("count the tags used in the articles of the job's tabs"),
                             RunTags});
