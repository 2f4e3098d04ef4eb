// quilo job JOBDIR: what the program reads from a job file.

#include "cli/JobCommands.h"
#include "jobs/JobDefine.h"

#include <QDir>
#include <QFileInfo>

void PrintJob(const TJobDefine& job)
{
    Out("pID=" + job.pID);
    Out("pCODE=" + job.pCode);
    Out("pNAME=" + job.pNAME);
    Out("srcImage=" + job.srcImage);
    Out("insImage=" + job.insImage);
    for (int i = 0; i < job.TabsCount; ++i)
        Out("tab=" + job.TabsName[i] + '\t' + job.TabsFile[i] + '\t' + job.TabsLink[i] + '\t'
            + job.TabsID[i]);
}

static int RunJob(const QStringList& args)
{
    // `quilo job new ...` defines a job; a job folder named "new" is reached as ./new.
    if (!args.isEmpty() && args[0] == "new")
        return RunJobNew(args.mid(1));
    const ParsedArgs p = ParseArgs(args, {});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo job JOBDIR"));
    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;
    PrintJob(job);
    return 0;
}

static CommandRegistrar reg({QStringLiteral("job"),
                             QStringLiteral("JOBDIR | new JOBDIR --product PID [--src TAB=FOLDER]... [--id ID] "
                                            "[--pw PASSWORD] [--server URL]"),
                             QStringLiteral("print the job file of a job folder; or define a new job for an assigned "
                                            "product (source folders relative to the job folder) and write "
                                            "vuxinfo.ini"),
                             RunJob});
