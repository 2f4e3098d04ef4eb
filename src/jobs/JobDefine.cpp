#include "jobs/JobDefine.h"

#include "jobs/JobLayout.h"

#include "shell/Runtime.h"
#include "shell/IniFile.h"
#include "shell/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

bool IsJobFolder(const QString& folder)
{
    return !folder.isEmpty() && QFileInfo(QDir(folder).filePath(JobFileName)).isFile();
}

QString NormalizeJobPath(const QString& path)
{
    QString p = path;
    p.replace('\\', '/');
    // Trimming and dropping final delimiters until neither changes anything, so that a path
    // read back from the job file is the one that was written ("본문 \\" is "본문" both times).
    for (;;) {
        QString q = TrimBlanks(p);
        while (q.size() > 1 && q.endsWith('/'))
            q.chop(1);
        if (q == p)
            return p;
        p = q;
    }
}

static QString JobFilePath(const TJobDefine& define)
{
    return QDir(define.WorkFolder).filePath(JobFileName);
}

void LoadJobFile(TJobDefine& define)
{
    if (define.WorkFolder.isEmpty())
        return;
    const IniFile ini(JobFilePath(define));
    define.pID = ini.value("VUX", "pID");
    define.pCode = ini.value("VUX", "pCODE");
    define.pNAME = ini.value("VUX", "pNAME");
    define.srcImage = ini.value("VUX", "srcImage", "N");
    define.insImage = ini.value("VUX", "insImage", "N");
    for (int i = 0; i < MaxTabs; ++i) {
        define.TabsName[i].clear();
        define.TabsFile[i].clear();
        define.TabsLink[i].clear();
        define.TabsID[i].clear();
    }
    define.TabsCount = 0;
    const QStringList keys = ini.keys("TABS").mid(0, MaxTabs);
    for (const QString& key : keys) {
        const QString name = TrimBlanks(key);
        if (name.isEmpty())
            continue;
        const int i = define.TabsCount++;
        define.TabsName[i] = name;
        define.TabsFile[i] = NormalizeJobPath(ini.value("TABS", name));
        define.TabsLink[i] = ini.value("LINK", name);
        define.TabsID[i] = ini.value("TABSID", name);
    }
}

bool SaveJobFile(const TJobDefine& define, QString* error)
{
    if (define.WorkFolder.isEmpty())
        return true;
    const QString problem =
        TabNamesProblem(QStringList(define.TabsName.begin(), define.TabsName.begin() + define.TabsCount));
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    const QString file = JobFilePath(define);
    IniFile ini(file);
    ini.setValue("VUX", "pID", define.pID);
    ini.setValue("VUX", "pCODE", define.pCode);
    ini.setValue("VUX", "pNAME", define.pNAME);
    ini.setValue("VUX", "srcImage", define.srcImage);
    ini.setValue("VUX", "insImage", define.insImage);
    ini.eraseSection("TABS");
    ini.eraseSection("LINK");
    for (int i = 0; i < define.TabsCount; ++i) {
        ini.setValue("TABS", define.TabsName[i], define.TabsFile[i]);
        ini.setValue("TABSID", define.TabsName[i], define.TabsID[i]);
        if (!define.TabsLink[i].isEmpty())
            ini.setValue("LINK", define.TabsName[i], define.TabsLink[i]);
    }
    QString why;
    if (!ini.save(file, &why)) {
        if (error)
            *error = QStringLiteral("작업 파일을 저장하지 못했습니다.\r\n%1\r\n%2").arg(file, why);
        return false;
    }
    SaveLastWorkFolder(define.WorkFolder);
    return true;
}

void ClearJobTabs(TJobDefine& define)
{
    for (int i = 0; i < define.TabsCount && i < MaxTabs; ++i) {
        define.TabsName[i].clear();
        define.TabsFile[i].clear();
        define.TabsLink[i].clear();
    }
}

void SaveLastWorkFolder(const QString& workFolder)
{
    WriteSetting("JOBS", "WorkFolder", workFolder);
}

void LoadLastJob(TJobDefine& define)
{
    define.WorkFolder = NormalizeJobPath(ReadSetting("JOBS", "WorkFolder"));
    LoadJobFile(define);
}

void SetKeywordUpdated(const TJobDefine& define, const QString& value)
{
    if (define.WorkFolder.isEmpty())
        return;
    IniWrite(JobFilePath(define), "KEYWORD", "updated", value);
}

bool IsKeywordUpdated(const TJobDefine& define)
{
    if (define.WorkFolder.isEmpty())
        return false;
    return IniRead(JobFilePath(define), "KEYWORD", "updated", "N") == "Y";
}

QString TabNameProblem(const QString& name)
{
    bool bad = TrimBlanks(name).isEmpty() || TrimBlanks(name) != name || name == "." || name == ".."
        || name.contains('=') || name.contains('/') || name.contains('\\') || name.startsWith('[')
        || name.startsWith(';');
    for (QChar c : name)
        bad = bad || c.unicode() < 32;
    if (!bad)
        return {};
    return QStringLiteral("탭 이름 \"%1\"은(는) 쓸 수 없습니다.\r\n"
                          "탭 이름에는 = / \\ 문자를 쓸 수 없고, [ 나 ; 로 시작하거나 앞뒤에 공백이 있거나, "
                          "비어 있거나 . 또는 .. 이면 안 됩니다.")
        .arg(name);
}

QString TabNamesProblem(const QStringList& names)
{
    QSet<QString> seen;
    for (const QString& name : names) {
        if (QString problem = TabNameProblem(name); !problem.isEmpty())
            return problem;
        const QString key = name.toCaseFolded();
        if (seen.contains(key))
            return QStringLiteral("탭 이름 \"%1\"이(가) 두 번 나옵니다. 탭 이름은 서로 달라야 합니다.").arg(name);
        seen.insert(key);
    }
    return {};
}

QString ResolvedPath(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // A folder that does not exist yet: resolve the part that does.
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !parent.isEmpty())
        return QDir(ResolvedPath(parent)).filePath(info.fileName());
    return QDir::cleanPath(info.absoluteFilePath());
}

QString SourceFolderOutsideProblem(const TJobDefine& job, int tab)
{
    const QString folder = TabSourceFolder(job, tab);
    const QString jobPath = ResolvedPath(job.WorkFolder);
    const QString src = ResolvedPath(folder);
    if (src == jobPath || src.startsWith(jobPath + '/'))
        return {};
    return QStringLiteral("원본 폴더가 작업 폴더 밖에 있어 이 탭의 원본 파일을 고칠 수 없습니다.\r\n[")
        + QDir::cleanPath(folder) + "]";
}
