#include "common/TestSupport.h"
#include "shell/TextFile.h"
#include "tools/FileMerge.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class StopAt : public RecordingInteraction {
public:
    QString at;
    void Report(const QString& line) override
    {
        RecordingInteraction::Report(line);
        if (line == at)
            stop = true;
    }
};

class FileMergeTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString src;

    void SetUp() override { src = dir.path() + "/장"; }
    void File(const QString& name, const QByteArray& bytes)
    {
        ASSERT_TRUE(WriteBytes(src + '/' + name, bytes));
    }
    // Asks, then merges the listed files with the default output place.
    TMergeOutcome Merge(RecordingInteraction& ui, QString* output = nullptr, QString typed = {})
    {
        if (typed.isEmpty())
            typed = MergeDefaultFileName(src);
        const QStringList files = ListMergeFiles(src);
        QString path;
        if (!PrepareMerge(src, files, MergeDefaultSaveFolder(src), typed, ui, &path))
            return {};
        if (output)
            *output = path;
        return MergeTextFiles(src, files, path, ui);
    }
};

TEST_F(FileMergeTest, MergesInNameOrderIntoUtf8WithAnEmptyLineAfterEachFile)
{
    File("1.txt", EncodeCp949("가\r\n나")); // code page 949, no final line break
    File("10.txt", Utf16File({"x", "y"}));
    File("2.txt", QByteArray());
    File("b.TEXT", "\xEF\xBB\xBFt\n");
    File("c.txt", "utf-8 \xEC\x97\x86\xEC\x9D\x8C\r"); // UTF-8 without a mark, CR line end
    File("notes.md", "not merged");
    File("sub/3.txt", "not merged");

    EXPECT_EQ(ListMergeFiles(src), QStringList({"1.txt", "10.txt", "2.txt", "b.TEXT", "c.txt"}));
    RecordingInteraction ui;
    QString out;
    const TMergeOutcome r = Merge(ui, &out);

    EXPECT_EQ(out, dir.path() + "/장.txt");
    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.merged, 5);
    EXPECT_EQ(ui.questions, QStringList({"원본 폴더 :\r\n\r\n" + src + "\r\n저장 파일 :" + out + "\r\n작업을 시작합니까?"}));
    EXPECT_EQ(ReadBytes(out), QByteArray("\xEF\xBB\xBF") + QString("가\r\n나\r\n\r\nx\r\ny\r\n\r\n\r\nt\r\n\r\nutf-8 없음\r\n\r\n").toUtf8());
    EXPECT_EQ(ui.reports, QStringList({"1.txt", "10.txt", "2.txt", "b.TEXT", "c.txt", "5개의 파일을 합쳤습니다.",
                                       "결과 파일 = " + out, "", ""}));
    EXPECT_TRUE(ui.infos.isEmpty());
}

TEST_F(FileMergeTest, SecondMergeMovesTheFirstResultAside)
{
    File("a.txt", "one");
    RecordingInteraction first;
    QString out;
    Merge(first, &out);
    const QByteArray firstResult = ReadBytes(out);
    File("b.txt", "two");

    RecordingInteraction second;
    const TMergeOutcome r = Merge(second);
    EXPECT_EQ(r.backup, out + ".001.bak");
    EXPECT_EQ(ReadBytes(out + ".001.bak"), firstResult);
    EXPECT_EQ(ReadBytes(out), QByteArray("\xEF\xBB\xBFone\r\n\r\ntwo\r\n\r\n"));
    EXPECT_EQ(second.reports.mid(0, 2), QStringList({"-원본을 다른 이름으로 저장했습니다.", out + ".001.bak"}));
}

TEST_F(FileMergeTest, OutputNames)
{
    EXPECT_EQ(NormalizeMergeFileName("  합본  "), "합본.txt");
    EXPECT_EQ(NormalizeMergeFileName("out.csv"), "out.csv");
    EXPECT_EQ(NormalizeMergeFileName("   "), "");
    EXPECT_EQ(MergeDefaultSaveFolder("/a/b/c/"), "/a/b");
    EXPECT_EQ(MergeDefaultFileName("/a/b/c/"), "c.txt");
}

TEST_F(FileMergeTest, RefusalsWriteNothing)
{
    File("a.txt", "one");
    QDir().mkpath(dir.path() + "/empty");
    QDir().mkpath(dir.path() + "/dir.txt");
    const struct {
        QString folder, saveFolder, typed;
        bool answer;
        QString info; // expected box; empty when the question was asked and answered No
    } cases[] = {
        {dir.path() + "/empty", dir.path(), "x", true, "텍스트 파일이 하나도 없습니다. 다른 폴더를 선택하세요."},
        {src, dir.path(), "  ", true, "저장할 파일 이름을 입력하세요."},
        {src, dir.path(), "../x.txt", true, "저장할 파일 이름에는 / \\ 문자를 쓸 수 없습니다."},
        {src, src, "all", true,
         "저장 파일이 원본 폴더 안에 있습니다:\r\n" + src + "/all.txt\r\n원본 폴더가 아닌 다른 폴더를 저장 위치로 선택하세요."},
        {src, src, "a.txt", true,
         "저장 파일이 원본 폴더 안에 있습니다:\r\n" + src + "/a.txt\r\n원본 폴더가 아닌 다른 폴더를 저장 위치로 선택하세요."},
        {src, dir.path() + "/nowhere", "x", true, "저장 폴더가 없습니다:\r\n" + dir.path() + "/nowhere"},
        {src, dir.path(), "dir.txt", false, "저장할 파일 이름이 폴더 이름과 같습니다:\r\n" + dir.path() + "/dir.txt"},
        {src, dir.path(), "x", false, ""},
    };
    for (const auto& c : cases) {
        RecordingInteraction ui;
        ui.answers = {c.answer};
        QString path;
        EXPECT_FALSE(PrepareMerge(c.folder, ListMergeFiles(c.folder), c.saveFolder, c.typed, ui, &path))
            << c.typed.toStdString();
        EXPECT_EQ(ui.infos, c.info.isEmpty() ? QStringList() : QStringList({c.info})) << c.typed.toStdString();
        EXPECT_EQ(ui.questions.size(), c.info.isEmpty() ? 1 : 0);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(ReadBytes(src + "/a.txt"), "one");
    // A name with another extension in the source folder is not merged later, so it is allowed.
    RecordingInteraction ui;
    QString path;
    EXPECT_TRUE(PrepareMerge(src, {"a.txt"}, src, "all.out", ui, &path));
    EXPECT_EQ(path, src + "/all.out");
}

TEST_F(FileMergeTest, UnreadableFilesAreLoggedAndSkipped)
{
    File("a.txt", "one");
    File("b.txt", QByteArray("bin\0ary", 7));
    File("c.txt", QByteArray("\xC8\x30\xC8")); // neither code page 949 nor UTF-8
    File("d.txt", "four");
    RecordingInteraction ui;
    QString out = dir.path() + "/out.txt";
    const TMergeOutcome r = MergeTextFiles(src, {"a.txt", "gone.txt", "b.txt", "c.txt", "d.txt"}, out, ui);

    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.merged, 2);
    EXPECT_EQ(r.skipped, 3);
    EXPECT_EQ(ReadBytes(out), QByteArray("\xEF\xBB\xBFone\r\n\r\nfour\r\n\r\n"));
    EXPECT_EQ(ui.reports.mid(0, 8),
              QStringList({"a.txt", "gone.txt", " * Error * 파일을 열 수 없음: gone.txt", "b.txt",
                           " * Error * 텍스트 파일이 아님: b.txt", "c.txt", " * Error * 문자 코드를 알 수 없음: c.txt",
                           "d.txt"}));
    EXPECT_EQ(ui.reports[8], "2개의 파일을 합쳤습니다.");
}

TEST_F(FileMergeTest, StopOrWriteFailureKeepsThePreviousResult)
{
    File("a.txt", "new");
    const QString out = dir.path() + "/out.txt";
    ASSERT_TRUE(WriteBytes(out, "previous"));
    {
        // Esc while the files are read: the previous result goes back under its name.
        StopAt ui;
        ui.at = "-원본을 다른 이름으로 저장했습니다.";
        const TMergeOutcome r = MergeTextFiles(src, {"a.txt"}, out, ui);
        EXPECT_FALSE(r.written);
        EXPECT_EQ(ui.questions, QStringList({"취소합니까?"}));
        EXPECT_TRUE(ui.reports.contains("작업을 중단했습니다."));
        EXPECT_EQ(ReadBytes(out), "previous");
        EXPECT_FALSE(QFileInfo::exists(out + ".001.bak"));
    }
    {
        // Nothing can be created in /proc, not even by root.
        RecordingInteraction ui;
        const TMergeOutcome r = MergeTextFiles(src, {"a.txt"}, "/proc/quilo-merge.txt", ui);
        EXPECT_FALSE(r.written);
        ASSERT_EQ(ui.infos.size(), 1);
        EXPECT_TRUE(ui.infos[0].startsWith("결과 파일을 저장할 수 없습니다:\r\n/proc/quilo-merge.txt\r\n"));
    }
}

} // namespace
