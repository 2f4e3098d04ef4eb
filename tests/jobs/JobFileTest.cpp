#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/IniFile.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A job file as the Windows program writes it: code page 949, CR LF, keys in any case.
QByteArray WindowsJobFile(const QString& body) { return EncodeCp949(QString(body).replace("\n", "\r\n")); }

TJobDefine Job(const QString& folder)
{
    TJobDefine job;
    job.WorkFolder = folder;
    LoadJobFile(job);
    return job;
}

} // namespace

TEST(JobFile, LoadsAFileWrittenOnWindows)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath("vuxinfo.ini"), WindowsJobFile(QStringLiteral(
        "[vux]\npid=9001\nPCODE=DEMO01\n pNAME = 데모 도서 \nsrcImage=Y\n"
        "[TABS]\n 본문 =src\\본문\n번역=번역\\\n"
        "[TabsId]\n본문=101\n번역=102\n[link]\n번역=본문\n")));
    const TJobDefine job = Job(dir.path());
    EXPECT_EQ(job.pID, "9001");
    EXPECT_EQ(job.pCode, "DEMO01");
    EXPECT_EQ(job.pNAME, QStringLiteral("데모 도서"));
    EXPECT_EQ(job.srcImage, "Y");
    EXPECT_EQ(job.insImage, "N");
    ASSERT_EQ(job.TabsCount, 2);
    EXPECT_EQ(job.TabsName[0], QStringLiteral("본문"));
    EXPECT_EQ(job.TabsFile[0], QStringLiteral("src/본문"));
    EXPECT_EQ(job.TabsID[0], "101");
    EXPECT_EQ(job.TabsLink[0], "");
    EXPECT_EQ(job.TabsFile[1], QStringLiteral("번역"));
    EXPECT_EQ(job.TabsLink[1], QStringLiteral("본문"));
    EXPECT_EQ(TabSourceFolder(job, 0), dir.path() + QStringLiteral("/src/본문"));
}

// Found by fuzzing: a blank before the final delimiter stayed after the delimiter was dropped,
// so the job saved and loaded again named another source folder.
TEST(JobFile, SourceFoldersReadBackAsWritten)
{
    const struct {
        const char* raw;
        const char* normal;
    } cases[] = {{"본문 \\", "본문"}, {"src\\본문\\ \\", "src/본문"}, {" a/b/ ", "a/b"}, {"\\", "/"}, {"", ""}};
    for (const auto& c : cases) {
        const QString once = NormalizeJobPath(QString::fromUtf8(c.raw));
        EXPECT_EQ(once, QString::fromUtf8(c.normal)) << c.raw;
        EXPECT_EQ(NormalizeJobPath(once), once) << c.raw;
    }
    QTemporaryDir dir;
    WriteBytes(dir.filePath("vuxinfo.ini"), WindowsJobFile(QStringLiteral("[VUX]\npNAME=x\n[TABS]\n본문=src\\본문 \\\n")));
    TJobDefine job = Job(dir.path());
    ASSERT_TRUE(SaveJobFile(job));
    EXPECT_EQ(Job(dir.path()).TabsFile[0], job.TabsFile[0]);
    EXPECT_EQ(job.TabsFile[0], QStringLiteral("src/본문"));
}

TEST(JobFile, MissingFileAndTooManyTabs)
{
    QTemporaryDir dir;
    TJobDefine empty = Job(dir.path());
    EXPECT_TRUE(empty.pNAME.isEmpty());
    EXPECT_EQ(empty.srcImage, "N");
    EXPECT_EQ(empty.TabsCount, 0);
    EXPECT_FALSE(IsJobFolder(dir.path()));

    QString body = "[VUX]\npNAME=x\n[TABS]\n";
    for (int i = 1; i <= 25; ++i)
        body += QStringLiteral("t%1=s%1\n").arg(i);
    WriteBytes(dir.filePath("vuxinfo.ini"), WindowsJobFile(body));
    EXPECT_TRUE(IsJobFolder(dir.path()));
    const TJobDefine job = Job(dir.path());
    EXPECT_EQ(job.TabsCount, 20);
    EXPECT_EQ(job.TabsName[19], "t20");
}

TEST(JobFile, SaveRemovesDroppedTabsButKeepsTheirIds)
{
    QTemporaryDir dir;
    TJobDefine job;
    job.WorkFolder = dir.path();
    job.pID = "9001";
    job.pNAME = QStringLiteral("데모 도서");
    job.TabsCount = 2;
    job.TabsName = {QStringLiteral("본문"), QStringLiteral("번역")};
    job.TabsFile = {"a", "b"};
    job.TabsID = {"101", "102"};
    job.TabsLink[1] = QStringLiteral("본문");
    ASSERT_TRUE(SaveJobFile(job));
    EXPECT_EQ(ReadSetting("JOBS", "WorkFolder"), dir.path());
    // The file is code page 949, as the Windows program reads it.
    EXPECT_FALSE(ReadBytes(dir.filePath("vuxinfo.ini")).startsWith("\xFF\xFE"));
    EXPECT_FALSE(IniFile(dir.filePath("vuxinfo.ini")).contains("LINK", QStringLiteral("본문")));

    job.TabsCount = 1;
    ASSERT_TRUE(SaveJobFile(job));
    const IniFile ini(dir.filePath("vuxinfo.ini"));
    EXPECT_EQ(ini.keys("TABS"), QStringList{QStringLiteral("본문")});
    EXPECT_TRUE(ini.keys("LINK").isEmpty());
    EXPECT_EQ(ini.value("TABSID", QStringLiteral("번역")), "102");
    EXPECT_EQ(Job(dir.path()).TabsCount, 1);
}

TEST(JobFile, NothingIsLostForCharactersOutsideCodePage949)
{
    QTemporaryDir dir;
    TJobDefine job;
    job.WorkFolder = dir.path();
    job.pNAME = QStringLiteral("古今\U00020000");
    ASSERT_TRUE(SaveJobFile(job));
    EXPECT_EQ(Job(dir.path()).pNAME, job.pNAME);
}

TEST(JobFile, KeywordFlag)
{
    QTemporaryDir dir;
    TJobDefine none;
    EXPECT_FALSE(IsKeywordUpdated(none));
    TJobDefine job;
    job.WorkFolder = dir.path();
    EXPECT_FALSE(IsKeywordUpdated(job));
    SetKeywordUpdated(job, "Y");
    EXPECT_TRUE(IsKeywordUpdated(job));
    SetKeywordUpdated(job, "N");
    EXPECT_FALSE(IsKeywordUpdated(job));
}

TEST(JobFile, UnsafeTabNamesNeverBecomeFileNames)
{
    const QString bad[] = {"", " ", ".", "..", "a=b", "../x", "a/b", "a\\b", QString("a\nb"),
                           QStringLiteral("[부록]"), QStringLiteral(";주석"), " 본문", "본문\t"};
    TJobDefine job;
    job.WorkFolder = "/jobs/j";
    job.TabsCount = 1;
    for (const QString& name : bad) {
        job.TabsName[0] = name;
        EXPECT_FALSE(TabNameProblem(name).isEmpty()) << name.toStdString();
        EXPECT_TRUE(ArticleIndexFileName(job, 0).isEmpty()) << name.toStdString();
        EXPECT_TRUE(ArticleFolderName(job, 0).isEmpty());
        EXPECT_TRUE(KeywordWorkbookName(job, 0).isEmpty());
        QString error;
        job.pNAME = "x";
        EXPECT_FALSE(SaveJobFile(job, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    job.TabsName[0] = QStringLiteral("본문");
    EXPECT_EQ(ArticleIndexFileName(job, 0), QStringLiteral("/jobs/j/본문.idx"));
    EXPECT_EQ(ArticleFolderName(job, 0), QStringLiteral("/jobs/j/work_본문"));
    EXPECT_EQ(ArticleBackupFolderName(job, 0), QStringLiteral("/jobs/j/~work_본문"));
    EXPECT_EQ(KeywordFileName(job, 0), QStringLiteral("/jobs/j/본문.kwd"));
    EXPECT_EQ(KeywordWorkbookName(job, 0), QStringLiteral("색인_본문.xls"));
    EXPECT_EQ(PreviewPageFileName(job, 3), "/jobs/j/unit3.htm");
}

TEST(JobFile, TabNamesDifferingOnlyInCaseAreRefused)
{
    QTemporaryDir dir;
    TJobDefine job;
    job.WorkFolder = dir.path();
    job.pNAME = "x";
    job.TabsCount = 2;
    job.TabsName[0] = "Notes";
    job.TabsName[1] = "notes";
    QString error;
    EXPECT_FALSE(SaveJobFile(job, &error));
    EXPECT_TRUE(error.contains("notes")) << error.toStdString();
    EXPECT_FALSE(IsJobFolder(dir.path()));
    job.TabsName[1] = QStringLiteral("본문");
    EXPECT_TRUE(SaveJobFile(job, &error));
}

TEST(JobFile, ClearJobTabsKeepsCountAndIds)
{
    TJobDefine job;
    job.TabsCount = 2;
    job.TabsName = {"a", "b"};
    job.TabsID = {"1", "2"};
    job.TabsLink[1] = "a";
    ClearJobTabs(job);
    EXPECT_EQ(job.TabsCount, 2);
    EXPECT_TRUE(job.TabsName[1].isEmpty());
    EXPECT_TRUE(job.TabsLink[1].isEmpty());
    EXPECT_EQ(job.TabsID[1], "2");
}

TEST(JobFile, LastJobRemembered)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath("vuxinfo.ini"), WindowsJobFile("[VUX]\npNAME=P\n"));
    SaveLastWorkFolder(dir.path());
    TJobDefine job;
    LoadLastJob(job);
    EXPECT_EQ(job.WorkFolder, dir.path());
    EXPECT_EQ(job.pNAME, "P");
    SaveLastWorkFolder(dir.filePath("gone"));
    TJobDefine gone;
    LoadLastJob(gone);
    EXPECT_TRUE(gone.pNAME.isEmpty());
}
