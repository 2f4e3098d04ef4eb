// The job file "vuxinfo.ini": any bytes load as a job of at most twenty tabs whose file names stay
// in the job folder; a job that can be saved loads back the same.
#include "FuzzSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"

#include <QFile>

static QString g_folder;

static void SameJob(const TJobDefine& a, const TJobDefine& b)
{
    FUZZ_CHECK(a.pID == b.pID && a.pCode == b.pCode && a.pNAME == b.pNAME && a.srcImage == b.srcImage
                   && a.insImage == b.insImage,
               "product fields change when saved and loaded");
    FUZZ_CHECK(a.TabsCount == b.TabsCount, "tab count changes when saved and loaded");
    for (int i = 0; i < a.TabsCount; ++i) {
        if (a.TabsName[i] != b.TabsName[i] || a.TabsFile[i] != b.TabsFile[i] || a.TabsLink[i] != b.TabsLink[i]
            || a.TabsID[i] != b.TabsID[i])
            std::fprintf(stderr, "tab %d: [%s|%s|%s|%s] -> [%s|%s|%s|%s]\n", i, qPrintable(a.TabsName[i]),
                         qPrintable(a.TabsFile[i]), qPrintable(a.TabsLink[i]), qPrintable(a.TabsID[i]),
                         qPrintable(b.TabsName[i]), qPrintable(b.TabsFile[i]), qPrintable(b.TabsLink[i]),
                         qPrintable(b.TabsID[i]));
        FUZZ_CHECK(a.TabsName[i] == b.TabsName[i] && a.TabsFile[i] == b.TabsFile[i] && a.TabsLink[i] == b.TabsLink[i]
                       && a.TabsID[i] == b.TabsID[i],
                   "a tab changes when saved and loaded");
    }
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    g_folder = FuzzScratchDir() + QStringLiteral("/job");
    QDir().mkpath(g_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = g_folder + '/' + JobFileName;
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    TJobDefine job;
    job.WorkFolder = g_folder;
    LoadJobFile(job);
    FUZZ_CHECK(job.TabsCount >= 0 && job.TabsCount <= MaxTabs, "more tabs than a job holds");
    const QString inside = g_folder + '/';
    for (int i = 0; i < job.TabsCount; ++i) {
        FUZZ_CHECK(!job.TabsName[i].isEmpty(), "a tab without a name");
        if (!TabNameProblem(job.TabsName[i]).isEmpty())
            continue;
        for (const QString& name : {ArticleIndexFileName(job, i), ArticleFolderName(job, i), KeywordFileName(job, i)}) {
            FUZZ_CHECK(name.isEmpty() || (name.startsWith(inside) && !name.mid(inside.size()).contains('/')),
                       "a tab's file lies outside the job folder");
        }
        SourceFolderOutsideProblem(job, i);
    }

    QString error;
    if (SaveJobFile(job, &error)) {
        TJobDefine again;
        again.WorkFolder = g_folder;
        LoadJobFile(again);
        SameJob(job, again);
    }
    return 0;
}
