#include "common/TestSupport.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"
#include "shell/Settings.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Runtime, SplitByCharKeepsEmptyFields)
{
    QStringList list{"stale"};
    SplitByChar("", list, ',');
    EXPECT_EQ(list, QStringList{""});
    SplitByChar("a,,b,", list, ',');
    EXPECT_EQ(list, (QStringList{"a", "", "b", ""}));
}

TEST(Runtime, SplitFieldsRule)
{
    struct Case {
        QString text;
        QString seps;
        QStringList fields;
    } cases[] = {
        {QStringLiteral("홍길동|1"), "|", {QStringLiteral("홍길동"), "1"}},
        {"|a||b|", "|", {"a", "b"}},
        {QStringLiteral("오류\r\n"), "|", {QStringLiteral("오류")}},
        {"a\tb\r\nc", "\t", {"a", "b", "c"}},
        {"x^'a^b'^\"c^d\"", "^", {"x", "'a^b'", "\"c^d\""}},
        {"", "|", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitFields(c.text, c.seps), c.fields) << c.text.toStdString();
}

TEST(Runtime, TrimRemovesOnlySpacesAndControlCharacters)
{
    const QString ideographic = QString::fromUtf8("\u3000"), noBreak = QString::fromUtf8("\u00a0");
    const struct {
        QString in, out;
    } cases[] = {
        {" \t\r\n가 나\r\n ", QString::fromUtf8("가 나")},
        {ideographic + QString::fromUtf8("문단") + ideographic, ideographic + QString::fromUtf8("문단") + ideographic},
        {"\t" + noBreak + "x" + noBreak + "\r", noBreak + "x" + noBreak},
        {QString(QChar(0x01)) + "a" + QChar(0x1f), "a"},
        {" \t\r\n", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrimBlanks(c.in), c.out) << c.in.toStdString();
}

TEST(Runtime, CharacterChecks)
{
    EXPECT_TRUE(IsDigit("7"));
    EXPECT_FALSE(IsDigit(""));
    EXPECT_FALSE(IsDigit("a"));
    EXPECT_TRUE(IsIdChar("_"));
    EXPECT_TRUE(IsIdChar("Z"));
    EXPECT_FALSE(IsIdChar("-"));
}

TEST(Runtime, ElapsedTextDoesNotWrapHours)
{
    const QDateTime start(QDate(2024, 1, 1), QTime(10, 0, 0));
    EXPECT_EQ(ElapsedText(start, start.addSecs(3600 + 5 * 60 + 9)), QStringLiteral("경과시간 01:05:09"));
    EXPECT_EQ(ElapsedText(start, start.addSecs(25 * 3600)), QStringLiteral("경과시간 25:00:00"));
}

// A program killed between backup and rewrite must not leave the name empty: the file stays in
// place beside its backup, and the atomic rewrite then leaves the backup untouched.
TEST(Runtime, BackupByLinkKeepsTheFileInPlace)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("x.txt");
    WriteBytes(file, "old");
    WriteBytes(file + ".001.bak", "1");
    const QString backup = BackupByLink(file, ".bak");
    EXPECT_EQ(backup, file + ".002.bak");
    EXPECT_EQ(ReadBytes(file), "old");
    EXPECT_EQ(ReadBytes(backup), "old");
    ASSERT_TRUE(WriteFileAtomic(file, "new"));
    EXPECT_EQ(ReadBytes(backup), "old");
    EXPECT_EQ(ReadBytes(file + ".001.bak"), "1");
    EXPECT_EQ(BackupByLink(dir.filePath("missing.txt"), ".bak"), QString());
    EXPECT_EQ(BackupByLink(dir.path(), ".bak"), QString());
}

// The numbers have at least three digits: after 999 saves the next backup is 1000, not none.
TEST(Runtime, BackupByLinkGoesOnAfter999)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("1.txt");
    WriteBytes(file, "v");
    for (int n = 2; n <= 999; ++n)
        ASSERT_TRUE(WriteBytes(file + QStringLiteral(".%1.bak").arg(n, 3, 10, QChar('0')), "old"));
    EXPECT_EQ(BackupByLink(file, ".bak"), file + ".001.bak");
    EXPECT_EQ(BackupByLink(file, ".bak"), file + ".1000.bak");
    EXPECT_EQ(BackupByLink(file, ".bak"), file + ".1001.bak");
    EXPECT_EQ(ReadBytes(file + ".1000.bak"), "v");
}

TEST(Runtime, DeletedFoldersGoToATrashNeverToTheCurrentFolder)
{
    QTemporaryDir dir, cwd;
    const QString desktopTrash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash";
    const QString ownTrash = qEnvironmentVariable("QUILO_HOME") + "/trash";
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(cwd.path());
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    struct {
        const char* what;
        QByteArray dataHome; // desktop data folder; empty: none usable
        QString trash;
    } cases[] = {
        {"desktop trash", savedData, desktopTrash},
        {"no desktop trash", QFile::encodeName(dir.filePath("missing")), ownTrash},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qputenv("XDG_DATA_HOME", c.dataHome);
        for (int round = 1; round <= 2; ++round) {
            WriteBytes(dir.filePath("~work_본문/0001/1.txt"), "x");
            ASSERT_TRUE(DeleteDirectory(dir.filePath("~work_본문")));
            EXPECT_FALSE(QFile::exists(dir.filePath("~work_본문")));
            const QString name = round == 1 ? QStringLiteral("~work_본문") : QStringLiteral("~work_본문.2");
            EXPECT_EQ(ReadBytes(c.trash + "/files/" + name + "/0001/1.txt"), "x");
            EXPECT_TRUE(ReadBytes(c.trash + "/info/" + name + ".trashinfo").startsWith("[Trash Info]\nPath=/"));
        }
    }
    qputenv("XDG_DATA_HOME", savedData);
    EXPECT_TRUE(QDir(cwd.path()).isEmpty());
    QDir::setCurrent(savedCwd);
}

TEST(Runtime, DirectoriesAndInputChecks)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath("a/b/c.txt"), "x");
    ASSERT_TRUE(RenameDirectory(dir.filePath("a"), dir.filePath("z")));
    EXPECT_TRUE(QFile::exists(dir.filePath("z/b/c.txt")));
    EXPECT_TRUE(DeleteDirectory(dir.filePath("z/")));
    EXPECT_FALSE(QFile::exists(dir.filePath("z")));

    RecordingInteraction ui;
    QString text = "  ";
    EXPECT_TRUE(RequireInputText(text, "", ui));
    EXPECT_TRUE(ui.infos.isEmpty());
    EXPECT_TRUE(RequireInputText(text, QStringLiteral("아이디"), ui));
    EXPECT_EQ(ui.infos, QStringList{QStringLiteral("아이디 : 반드시 입력해야합니다.")});
    text = " a ";
    EXPECT_FALSE(RequireInputText(text, "x", ui));
    EXPECT_EQ(text, "a");
}

TEST(Settings, FormPositionDefaultsAndRoundTrip)
{
    const FormPosition d = RestoreFormPosition("frmNeverSaved");
    EXPECT_EQ(d.left, 0);
    EXPECT_EQ(d.top, 0);
    EXPECT_EQ(d.width, 1024);
    EXPECT_EQ(d.height, 730);
    SaveFormPosition("frmTest", FormPosition{2, 10, 20, 800, 600});
    const FormPosition p = RestoreFormPosition("frmTest");
    EXPECT_EQ(p.left, 10);
    EXPECT_EQ(p.height, 600);
    WriteFormSetting("frmTest", "strSep", QStringLiteral("。"));
    EXPECT_EQ(ReadFormSetting("frmTest", "strSep"), QStringLiteral("。"));
    EXPECT_EQ(ReadFormSetting("frmTest", "none", "dflt"), "dflt");
}

TEST(Settings, ServerAddresses)
{
    qputenv("QUILO_SERVER_URL", "http://127.0.0.1:9999/");
    EXPECT_EQ(ServerBaseURL(), "http://127.0.0.1:9999");
    EXPECT_EQ(ContentBaseURL(), "http://127.0.0.1:9999/content");
    WriteSetting("SERVER", "ContentURL", "https://books.example/c/");
    EXPECT_EQ(ContentBaseURL(), "https://books.example/c");
    // An emptied setting falls back to the default rather than to no address.
    WriteSetting("SERVER", "ContentURL", "");
    EXPECT_EQ(ContentBaseURL(), "http://127.0.0.1:9999/content");
    qunsetenv("QUILO_SERVER_URL");
}
