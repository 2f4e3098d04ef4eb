// quilo job JOBDIR: what the program reads from a job file.

#include "cli/Commands.h"
#include "jobs/JobDefine.h"

#include <QDir>
#include <QFileInfo>

static int RunJob(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo job JOBDIR"));
    const QString folder = QFileInfo(p.positional[0]).absoluteFilePath();
    if (!IsJobFolder(folder)) {
        Err(NotJobFolderMessage);
        return 1;
    }
    TJobDefine job;
    job.WorkFolder = QDir::cleanPath(folder);
    LoadJobFile(job);
    Out("pID=" + job.pID);
    Out("pCODE=" + job.pCode);
    Out("pNAME=" + job.pNAME);
    Out("srcImage=" + job.srcImage);
    Out("insImage=" + job.insImage);
    for (int i = 0; i < job.TabsCount; ++i)
        Out("tab=" + job.TabsName[i] + '\t' + job.TabsFile[i] + '\t' + job.TabsLink[i] + '\t'
            + job.TabsID[i]);
    return 0;
}

static CommandRegistrar reg({QStringLiteral("job"), QStringLiteral("JOBDIR"),
                             QStringLiteral("print the job file of a job folder"), RunJob});
