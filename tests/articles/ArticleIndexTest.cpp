#include "articles/ArticleIndex.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <ostream>

// Readable failures for Korean texts.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// A job folder with one tab "본문" and its index written as the generator writes it.
struct IndexFixture {
    QTemporaryDir dir;
    TJobDefine job;

    IndexFixture()
    {
        job.WorkFolder = dir.path();
        job.pNAME = "시험";
        job.TabsCount = 2;
        job.TabsName[0] = "본문";
        job.TabsID[0] = "101";
        job.TabsName[1] = "번역";
        job.TabsID[1] = "102";
    }
    void writeIndex(const QStringList& lines, int tab = 0)
    {
        WriteBytes(job.WorkFolder + "/" + job.TabsName[tab] + ".idx", Utf16File(lines));
    }
    QString article(const QString& rel) { return job.WorkFolder + "/work_본문/" + rel; }
};

// "depth:id:level:title" per node, root first.
QStringList Shape(const TArticleTree& tree)
{
    QStringList out;
    for (const TArticleNode& n : tree.nodes())
        out << QString("%1:%2:%3:%4").arg(n.depth).arg(n.info.id).arg(n.info.htagNum).arg(n.title);
    return out;
}

} // namespace

TEST(ArticleIndex, TreeFollowsTheLevelNumbers)
{
    IndexFixture f;
    f.writeIndex({"1", "1", "하나", "1_1", "2", "하나의 하나", "1_2", "2", "하나의 둘", "2", "1", "둘", "2_1", "3",
                  "둘 아래 셋째 수준"});
    RecordingInteraction ui;
    TArticleTree tree;
    ASSERT_TRUE(LoadArticleTree(f.job, 0, tree, ui));
    EXPECT_TRUE(ui.infos.isEmpty());
    EXPECT_EQ(Shape(tree), QStringList({"0::0:본문", "1:1:1:하나", "2:1_1:2:하나의 하나", "2:1_2:2:하나의 둘",
                                        "1:2:1:둘", "2:2_1:3:둘 아래 셋째 수준"}));
    EXPECT_EQ(tree.node(4).children, std::vector<int>({5}));
}

TEST(ArticleIndex, FaultyIndexes)
{
    struct Case {
        const char* what;
        QStringList lines;
        bool ok;
        int nodes; // root included
        QString message;
    };
    const QString faulty = "index 파일(%1) 오류입니다. 기본작업 -> \"기사 생성\"을 실행하십시오.";
    const std::vector<Case> cases = {
        {"two lines", {"1", "1"}, false, 0, faulty},
        {"seven lines, trailing line ignored", {"1", "1", "가", "2", "1", "나", "3"}, true, 3, ""},
        {"level x on file line 2", {"1", "x", "가", "2", "1", "나"}, false, 1, "index 데이터(줄번호:2) 오류입니다."},
        {"level x on a later entry keeps the entries before", {"1", "1", "가", "2", "1.5", "나", "3", "1", "다"}, false, 2,
         "index 데이터(줄번호:5) 오류입니다."},
        {"empty file", {}, false, 0, faulty},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IndexFixture f;
        f.writeIndex(c.lines);
        RecordingInteraction ui;
        TArticleTree tree;
        EXPECT_EQ(LoadArticleTree(f.job, 0, tree, ui), c.ok);
        EXPECT_EQ(tree.count(), c.nodes);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(ui.infos.isEmpty());
        } else {
            // One message, however many entries follow the broken one.
            ASSERT_EQ(ui.infos.size(), 1);
            EXPECT_EQ(ui.infos[0], c.message.contains("%1") ? c.message.arg(f.job.WorkFolder + "/본문.idx") : c.message);
        }
    }
}

TEST(ArticleIndex, MissingIndexAndUnsafeTabName)
{
    IndexFixture f;
    RecordingInteraction ui;
    TArticleTree tree;
    EXPECT_FALSE(LoadArticleTree(f.job, 0, tree, ui));
    ASSERT_EQ(ui.infos.size(), 1);
    EXPECT_EQ(ui.infos[0], "index 파일(" + f.job.WorkFolder
                  + "/본문.idx)이 없습니다. 기본작업 -> \"기사 생성\"을 실행하십시오.");

    f.job.TabsName[0] = "../밖";
    EXPECT_FALSE(LoadArticleTree(f.job, 0, tree, ui));
    EXPECT_EQ(ui.infos.size(), 2);
    EXPECT_FALSE(LoadArticleTree(f.job, 7, tree, ui)); // no such tab
}

TEST(ArticleIndex, IndexInCodePage949AndWithBadBytes)
{
    IndexFixture f;
    WriteBytes(f.job.WorkFolder + "/본문.idx", EncodeLines({"1", "1", "가나다"}, TextEncoding::Cp949));
    RecordingInteraction ui;
    TArticleTree tree;
    ASSERT_TRUE(LoadArticleTree(f.job, 0, tree, ui));
    EXPECT_EQ(tree.node(1).title, "가나다");

    // Odd byte count after a UTF-16 mark: read what can be read, never crash.
    WriteBytes(f.job.WorkFolder + "/본문.idx", Utf16File({"1", "1", "가"}) + QByteArray("\x41", 1));
    EXPECT_TRUE(LoadArticleTree(f.job, 0, tree, ui));
    EXPECT_EQ(tree.count(), 2);
}

TEST(ArticleIndex, StoragePath)
{
    struct Case {
        QString in;
        QString out;
    };
    const std::vector<Case> cases = {
        {"/j/work_A/3_2.txt", "/j/work_A/0003/3_2.txt"},
        {"/j/work_A/12.txt", "/j/work_A/0012/12.txt"},
        {"/j/work_A/12345_1.txt", "/j/work_A/12345/12345_1.txt"},
        {"C:\\j\\work_A\\7_1_1.txt", "C:\\j\\work_A\\0007/7_1_1.txt"},
        {"/j/work_A/readme", ""},
        {"/j/work_A/x_1.txt", ""},
        {"/j/work_A/.txt", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        RecordingInteraction ui;
        EXPECT_EQ(ArticleStoragePath(c.in, ui), c.out);
        EXPECT_EQ(ui.infos, c.out.isEmpty() ? QStringList{c.in + ": 파일 형식이 다릅니다."} : QStringList{});
    }
}

TEST(ArticleIndex, ArticleFilesInGroupOrFlatLayout)
{
    IndexFixture f;
    TArticleNode node;
    node.info.id = "3_2";
    const QString flat = ArticleFileName(f.job, 0, &node);
    EXPECT_EQ(flat, f.article("3_2.txt"));
    EXPECT_EQ(ArticleFileName(f.job, 0, nullptr), "noname.txt");
    node.info.id = "../../x";
    EXPECT_EQ(ArticleFileName(f.job, 0, &node), ""); // an ID from a tampered index stays inside

    RecordingInteraction ui;
    QStringList lines;
    EXPECT_FALSE(LoadArticleText(lines, flat, ui));
    EXPECT_EQ(ui.infos, QStringList{flat + ": 지정하신 파일을 열 수 없습니다."});

    WriteBytes(flat, Utf16File({"<H2 id=3_2>평면</H2>"}));
    ASSERT_TRUE(LoadArticleText(lines, flat, ui));
    EXPECT_EQ(lines, QStringList{"<H2 id=3_2>평면</H2>"});

    WriteBytes(f.article("0003/3_2.txt"), Utf16File({"<H2 id=3_2>묶음</H2>", "본문"}));
    ASSERT_TRUE(LoadArticleText(lines, flat, ui));
    EXPECT_EQ(lines, QStringList({"<H2 id=3_2>묶음</H2>", "본문"}));
    EXPECT_EQ(ui.infos.size(), 1);
}

TEST(ArticleIndex, TabIndexById)
{
    IndexFixture f;
    EXPECT_EQ(TabIndexById(f.job, "102"), 1);
    EXPECT_EQ(TabIndexById(f.job, "10"), -1);
    EXPECT_EQ(TabIndexById(f.job, ""), -1);
}

TEST(ArticleIndex, SourceTextLineLengthCheck)
{
    IndexFixture f;
    const QString path = f.article("1.txt");
    WriteBytes(f.article("0001/1.txt"), Utf16File({"<H1 id=1>제목</H1>", QString(3900, 'a')}));
    RecordingInteraction ui;
    QStringList lines;
    EXPECT_TRUE(LoadSourceText(path, lines, ui));
    EXPECT_EQ(lines.size(), 2);

    WriteBytes(f.article("0001/1.txt"), Utf16File({"<H1 id=1>제목</H1>", "짧은 줄", QString(3901, 'a')}));
    EXPECT_FALSE(LoadSourceText(path, lines, ui));
    EXPECT_TRUE(lines.isEmpty());
    ASSERT_EQ(ui.infos.size(), 1);
    EXPECT_EQ(ui.infos[0], "파일 : " + path + "\r\n줄번호 #3\r\n길이가 너무 깁니다.\r\n한 줄 당 최대 3900글자 이하만 가능합니다.\r\n"
                           "다른 편집기로 원문을 수정한 후 작업을 하거나, 기본 작업 -> \"기사 생성\" 작업을 다시 실행하십시오.");
}

TEST(ArticleIndex, LargeSourceTextHonoursEsc)
{
    // Esc pressed while the check runs: polled at the progress points.
    struct EscDuringCheck : RecordingInteraction {
        int polls = 0;
        bool StopRequested() override { return stop || ++polls == 5; }
    };
    QStringList lines;
    for (int i = 0; i < 20000; ++i)
        lines << "줄";
    EscDuringCheck goOn;
    goOn.stop = true; // an Esc from before the check does not count
    goOn.answers = {false};
    EXPECT_EQ(CheckSourceLines(lines, "x", goOn), -1);
    EXPECT_EQ(goOn.questions, QStringList{"취소합니까?"});

    EscDuringCheck cancel;
    cancel.answers = {true};
    EXPECT_EQ(CheckSourceLines(lines, "x", cancel), -2);
    EXPECT_EQ(CheckSourceLines(lines.mid(0, 100), "x", cancel), -1); // small files are not polled
}

TEST(ArticleIndex, HeadingSpans)
{
    const QString text = "앞줄\r\n<H1 id=1>제목</H1>\r\n본문 <hr> 과 <h2>가운데</h2>\n<h>아님\n<h3 id=1_1>끝";
    const QList<HeadingSpan> spans = FindHeadingSpans(text);
    ASSERT_EQ(spans.size(), 3);
    EXPECT_EQ(text.mid(spans[0].start, spans[0].length), "<H1 id=1>제목</H1>");
    EXPECT_EQ(spans[0].line, 1);
    EXPECT_EQ(text.mid(spans[1].start, spans[1].length), "<h2>가운데</h2>");
    EXPECT_EQ(spans[1].line, 2);
    EXPECT_EQ(text.mid(spans[2].start, spans[2].length), "<h3 id=1_1>끝");
    EXPECT_EQ(spans[2].line, 4);
}
