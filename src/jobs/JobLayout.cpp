#include "jobs/JobLayout.h"

#include "shell/Settings.h"

#include <QDir>
#include <QFileInfo>

static QString InJob(const QString& jobFolder, const QString& name)
{
    return jobFolder + '/' + name;
}

// Empty for a tab outside the table or a name that could leave the job folder.
static QString TabName(const TJobDefine& job, int tab)
{
    if (tab < 0 || tab >= MaxTabs || !TabNameProblem(job.TabsName[size_t(tab)]).isEmpty())
        return {};
    return job.TabsName[size_t(tab)];
}

// {job}/{prefix}{tab}{suffix}, or empty when the tab name is refused.
static QString TabFile(const TJobDefine& job, int tab, const QString& prefix, const QString& suffix)
{
    const QString name = TabName(job, tab);
    return name.isEmpty() ? QString() : InJob(job.WorkFolder, prefix + name + suffix);
}

// The link and page files are only named for a tab of an open job.
static QString OpenTabFile(const TJobDefine& job, int tab, const QString& suffix)
{
    if (tab >= job.TabsCount || job.WorkFolder.isEmpty())
        return {};
    return TabFile(job, tab, {}, suffix);
}

QString TabSourceFolder(const TJobDefine& job, int tab)
{
    if (tab < 0 || tab >= MaxTabs)
        return {};
    const QString src = NormalizeJobPath(job.TabsFile[tab]);
    if (src.isEmpty())
        return job.WorkFolder;
    return QDir::isAbsolutePath(src) ? src : InJob(job.WorkFolder, src);
}

QString IndexDumpFileName(const TJobDefine& job, int tab)
{
    const QString src = NormalizeJobPath(job.TabsFile[tab]);
    const bool inside = !src.isEmpty() && QDir::isRelativePath(src)
        && !src.split('/').contains(QStringLiteral(".."));
    // A source folder outside the job folder must not lead the dump out of it.
    const QString name = inside ? src : QFileInfo(src).fileName();
    return InJob(job.WorkFolder, (name.isEmpty() ? job.TabsName[tab] : name) + ".idxtmp.txt");
}

QString ArticleIndexFileName(const TJobDefine& job, int tab) { return TabFile(job, tab, {}, ".idx"); }
QString ArticleFolderName(const TJobDefine& job, int tab) { return TabFile(job, tab, "work_", {}); }
QString ArticleBackupFolderName(const TJobDefine& job, int tab) { return TabFile(job, tab, "~work_", {}); }
QString ConnectFileName(const TJobDefine& job, int baseTab) { return TabFile(job, baseTab, {}, "_connect.txt"); }
QString ImageLinkFileName(const TJobDefine& job, int tab) { return OpenTabFile(job, tab, "_images.txt"); }
QString PageInfoFileName(const TJobDefine& job, int tab) { return OpenTabFile(job, tab, "_pageinfo.txt"); }
QString KeywordFileName(const TJobDefine& job, int tab) { return TabFile(job, tab, {}, ".kwd"); }

QString CategoryFileName(const QString& jobFolder, const QString& tabName)
{
    if (jobFolder.isEmpty() || !TabNameProblem(tabName).isEmpty())
        return {};
    return QDir(jobFolder).filePath(tabName + QStringLiteral("_category.txt"));
}

QString KeywordWorkbookName(const TJobDefine& job, int tab)
{
    const QString name = TabName(job, tab);
    return name.isEmpty() ? QString() : QStringLiteral("색인_") + name + ".xls";
}

QString KeywordWorkbookPath(const TJobDefine& job, int tab)
{
    const QString name = KeywordWorkbookName(job, tab);
    return name.isEmpty() ? QString() : QDir(job.WorkFolder).filePath(name);
}

QString KeywordDefinitionsFile(const QString& jobFolder) { return QDir(jobFolder).filePath(KeywordsFileName); }
QString KeywordDefinitionsFile(const TJobDefine& job) { return KeywordDefinitionsFile(job.WorkFolder); }

QString SourceImageFolder(const QString& jobFolder)
{
    return jobFolder.isEmpty() ? QString() : InJob(jobFolder, QStringLiteral("images"));
}

QString InsertedImageFolder(const QString& jobFolder) { return InJob(jobFolder, QStringLiteral("img")); }
QString UploadLogFolder(const QString& jobFolder) { return InJob(jobFolder, QStringLiteral("log")); }
QString PreviewPageName(int number) { return QStringLiteral("unit%1.htm").arg(number); }
QString PreviewPageFileName(const TJobDefine& job, int number) { return InJob(job.WorkFolder, PreviewPageName(number)); }

QString BookInfoFileName() { return DataFolder() + "/bookinfo.ini"; }
QString CodeTableFileName() { return DataFolder() + "/codetable.txt"; }
