// The demo product's keyword definitions and categories through `quilo` against quilo-server
// with the demo seed.

#include "common/ServerJobTest.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

namespace {

class KeywordCommandTest : public ServerJobTest {
protected:
    QString Keywords() const { return job + "/keywords.txt"; }
};

TEST_F(KeywordCommandTest, FetchShowAndAssignTheDemoProduct)
{
    // Without the code table of a login the step does not run.
    CmdResult r = Quilo({"keywords", "fetch", job, "--id", "demo", "--pw", "demo"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.err.contains("코드테이블을 찾을 수 없습니다.")) << r.err.toStdString();
    ASSERT_EQ(Quilo({"login", "--id", "demo", "--pw", "demo"}).exit, 0);

    // A refused login gets the server's error word: no file.
    r = Quilo({"keywords", "fetch", job, "--id", "demo", "--pw", "wrong"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "정보가 없습니다.\n");
    EXPECT_FALSE(QFileInfo::exists(Keywords()));

    r = Quilo({"keywords", "fetch", job, "--id", "demo", "--pw", "demo"});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    QStringList saved;
    ASSERT_TRUE(ReadTextLines(Keywords(), saved));
    EXPECT_EQ(r.out, saved.join('\n') + '\n');
    EXPECT_TRUE(ReadBytes(Keywords()).startsWith("\xFF\xFE"));
    for (const char* ref : {"【인물】", "【지명】", "【출전】", "【그림】"})
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(ref))) << ref;

    r = Quilo({"keywords", "show", job});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    const QStringList shown = r.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(shown.first(), "tab\t101\t본문");
    EXPECT_TRUE(shown.contains("tab\t102\t번역"));
    EXPECT_TRUE(shown.contains("1\t기본메타 > 주제분류1\t인명"));
    EXPECT_TRUE(shown.contains("2\t인명 > 이름\t【인물】"));

    // A chapter takes its sub-articles along, nothing after them.
    const QStringList tree = Quilo({"tree", job, "--tab", "본문"}).out.split('\n', Qt::SkipEmptyParts);
    int chapter = -1, end = -1;
    for (int i = 1; i < tree.size(); ++i) {
        const int depth = tree[i].section('\t', 1, 1).toInt();
        if (chapter < 0 && depth == 1 && i + 1 < tree.size() && tree[i + 1].section('\t', 1, 1).toInt() > 1)
            chapter = i;
        else if (chapter > 0 && end < 0 && depth <= 1)
            end = i;
    }
    ASSERT_GT(chapter, 0);
    if (end < 0)
        end = int(tree.size());
    r = Quilo({"categories", job, "--set", QString::number(chapter) + "=기타/역사"});
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("분류 정보가 저장되었습니다."));
    const QStringList rows = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), tree.size() - 1);
    for (int k = 1; k < tree.size(); ++k) {
        const bool set = k >= chapter && k < end;
        EXPECT_EQ(rows[k - 1], QString::number(k) + (set ? "\t기타\t역사\t" : "\t인명\t지명\t") + tree[k].section('\t', 4))
            << k;
    }
    QStringList file;
    ASSERT_TRUE(ReadTextLines(job + "/본문_category.txt", file));
    EXPECT_EQ(file.size(), 2 * tree.size());
    EXPECT_EQ(file.mid(0, 2), (QStringList{"1주제", "2주제"}));
    EXPECT_EQ(file.mid(2 * chapter, 2), (QStringList{"기타", "역사"}));

    // Refused settings change nothing on disk.
    const QByteArray before = ReadBytes(job + "/본문_category.txt");
    const struct {
        QStringList args;
        int exit;
        const char* err;
    } refused[] = {
        {{"--set", "1=인명/지명"}, 1, "2주제는 1주제가 \"기타\"일 때만"},
        {{"--set", "1=없는분류"}, 1, "\"없는분류\"은(는) 주제분류1에 없는 분류입니다."},
        {{"--set", "1=기타/없는분류"}, 1, "주제분류2에 없는 분류입니다."},
        {{"--set", "1=역사", "--set", "999=역사"}, 1, "노드 999"},
        {{"--set", "x=역사"}, 2, "usage"},
        {{"--tab", "없는탭"}, 1, "탭 [없는탭]"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        r = Quilo(QStringList{"categories", job} + c.args);
        EXPECT_EQ(r.exit, c.exit);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
        EXPECT_EQ(ReadBytes(job + "/본문_category.txt"), before);
    }

    // A hand-edited definition file: the loader names the line, the download replaces it.
    QStringList edited = saved;
    edited[2] = "1^ks_coremeta^mt_nothing^x";
    ASSERT_TRUE(WriteBytes(Keywords(), EncodeLines(edited, TextEncoding::Cp949)));
    r = Quilo({"keywords", "show", job});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.err.startsWith("keywords.txt 줄 번호 :#3오류가 발생했습니다.\n 컬럼명 오류.\n")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(Quilo({"categories", job}).exit, 1);
    EXPECT_EQ(Quilo({"keywords", "fetch", job, "--id", "demo", "--pw", "demo"}).exit, 0);
    EXPECT_EQ(Quilo({"keywords", "show", job}).exit, 0);

    EXPECT_EQ(Quilo({"keywords", job}).exit, 2);
    EXPECT_EQ(Quilo({"keywords", "show"}).exit, 2);
}

} // namespace
