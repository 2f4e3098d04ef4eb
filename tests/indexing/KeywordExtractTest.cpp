// Keyword extraction: the search rule, the picture next to an image marker, and whole runs
// into result workbooks.

#include "indexing/KeywordExtract.h"
#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "server/VUX_codes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Columns: 0 제목, 1 출전 (기본메타); 2 이름, 3 한자 이름 (인명); 4 지명 (지명);
// 5 설명, 6 파일명, 7 경로, 8 형식 (이미지).
TVUX_codes Codes()
{
    TVUX_codes c;
    c.BuildColumns({"ks_coremeta\tks_coremeta\t기본메타\tmt_title\t제목\tx\tN\t1",
                    "ks_coremeta\tks_coremeta\t기본메타\tmt_source\t출전\tx\tN\t1",
                    "ks_exMetaName\tks_exMetaName\t인명\tnm_name\t이름\tx\tN\t1",
                    "ks_exMetaName\tks_exMetaName\t인명\tnm_hanja\t한자 이름\tx\tN\t1",
                    "ks_exMetaPlace\tks_exMetaPlace\t지명\tpl_name\t지명\tx\tN\t1",
                    "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_desc\t설명\tx\tN\t1",
                    "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_sFilename\t파일명\tx\tN\t1",
                    "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_sPath\t경로\tx\tN\t1",
                    "ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_sformat\t형식\tx\tN\t1"});
    return c;
}

const TImageContext Context{"http://content.example", "9001", "/job/work_본문/1.txt"};

struct JobFixture {
    QTemporaryDir dir;
    TJobDefine job;
    TVUX_codes codes = Codes();
    QList<TvuxSchOption> options;

    JobFixture()
    {
        job.WorkFolder = dir.path();
        job.pID = "9001";
        job.pNAME = "데모 도서";
        job.TabsCount = 1;
        job.TabsName[0] = "본문";
        job.TabsID[0] = "101";
        WriteBytes(dir.filePath("vuxinfo.ini"), "[VUX]\r\npID=9001\r\n");
        options = {{"101", 4, 1, "고정값"}, {"101", 2, 2, "【인물】"}, {"101", 1, 2, "【출전】"}, {"101", 5, 2, "【그림】"}};
    }
    // Articles 1, 2 and 3 with the given lines.
    void articles(const QList<QStringList>& texts)
    {
        QStringList index;
        for (int i = 0; i < texts.size(); ++i) {
            index << QString::number(i + 1) << "1" << QString("기사 %1").arg(i + 1);
            WriteBytes(dir.filePath(QString("work_본문/%1.txt").arg(i + 1)), Utf16File(texts[i]));
        }
        WriteBytes(dir.filePath("본문.idx"), Utf16File(index));
    }
    QString workbook() const { return dir.filePath("색인_본문.xls"); }
    TKeywordRunOutcome run(RecordingInteraction& ui) const
    {
        return RunKeywordExtraction(job, codes, options, {"101"}, "http://content.example", ui);
    }
    TSheetRows sheet(const QString& name) const
    {
        TWorkbookReader r;
        TSheetRows rows;
        EXPECT_TRUE(r.Open(workbook()));
        EXPECT_TRUE(r.ReadSheet(name, rows)) << name.toStdString();
        return rows;
    }
};

bool NoStop() { return false; }

} // namespace

TEST(KeywordExtract, EveryLineWithTheMarkerGivesTheTrimmedRestOfTheLine)
{
    const struct {
        const char* what;
        QStringList lines;
        const char* value;
    } cases[] = {
        {"two lines, two values", {"【인물】 홍길동", "본문", "【인물】이순신  "}, "홍길동^이순신"},
        {"inside a longer word, first occurrence of the line", {"앞말【인물】뒷말 【인물】 둘"}, "뒷말 【인물】 둘"},
        {"only blanks and control characters are trimmed", {"【인물】\t 　전각 공백\x01"}, "　전각 공백"},
        {"a marker with nothing after it contributes nothing", {"【인물】  ", "【인물】"}, ""},
        {"no marker", {"【지명】 한양"}, ""},
    };
    for (const auto& c : cases) {
        RecordingInteraction ui;
        QString value;
        TImageLists lists;
        const bool found = SearchReference(c.lines, "【인물】", false, value, lists, Context, ui, NoStop);
        EXPECT_EQ(value, QString::fromUtf8(c.value)) << c.what;
        EXPECT_EQ(found, !value.isEmpty()) << c.what;
    }
    RecordingInteraction ui;
    QString value;
    TImageLists lists;
    EXPECT_FALSE(SearchReference({"【인물】 x"}, "", false, value, lists, Context, ui, NoStop)) << "empty marker";
}

TEST(KeywordExtract, ImageDescriptionsCountOnlyNextToAPicture)
{
    const struct {
        const char* what;
        QStringList lines;
        const char* value, *names, *urls, *formats, *message;
    } cases[] = {
        {"picture on the line above, double-quoted, upper-case extension kept",
         {"<img src=\"maps/Light.JPG\" width=300>", "【그림】 등대"}, "등대", "maps/Light.JPG",
         "http://content.example/image_data/9001/maps/Light.JPG", "JPG", nullptr},
        {"picture on the line below, single quotes and doubled blanks",
         {"【그림】 염전", "  <IMG   src='salt.jpg'>"}, "염전", "salt.jpg",
         "http://content.example/image_data/9001/salt.jpg", "jpg", nullptr},
        {"unquoted name ends at the blank", {"<img src=a.png alt=x>", "【그림】 가"}, "가", "a.png",
         "http://content.example/image_data/9001/a.png", "png", nullptr},
        {"single-quoted name with a blank ends at the blank: no extension",
         {"【그림】 나", "<img src='my pic.jpg'>"}, "", "my", "", "",
         "이미지 파일의 확장자가 없습니다. 수정하세요.\r\n파일이름 : /job/work_본문/1.txt\r\n줄번호 : 0\r\nmy\r\n"
         "(파일이름 = H 태그의 ID)"},
        {"two lines away is too far", {"<img src=\"a.jpg\">", "", "【그림】 다"}, "", "", "", "", nullptr},
        {"the tag must be the first of its line", {"<b>굵게</b><img src=\"a.jpg\">", "【그림】 라"}, "", "", "", "", nullptr},
        {"no src", {"<img alt=\"a.jpg\">", "【그림】 마"}, "", "", "", "", nullptr},
        {"two pictures: lists joined by ^", {"<img src=\"a.jpg\">", "【그림】 하나", "", "<img src=\"b.gif\">", "【그림】 둘"},
         "하나^둘", "a.jpg^b.gif",
         "http://content.example/image_data/9001/a.jpg^http://content.example/image_data/9001/b.gif", "jpg^gif", nullptr},
        {"a marker without description takes no picture", {"<img src=\"a.jpg\">", "【그림】", "<img src=\"b.jpg\">", "【그림】 둘"},
         "둘", "b.jpg", "http://content.example/image_data/9001/b.jpg", "jpg", nullptr},
    };
    for (const auto& c : cases) {
        RecordingInteraction ui;
        QString value;
        TImageLists lists;
        SearchReference(c.lines, "【그림】", true, value, lists, Context, ui, NoStop);
        EXPECT_EQ(value, QString::fromUtf8(c.value)) << c.what;
        EXPECT_EQ(lists.names, QString::fromUtf8(c.names)) << c.what;
        EXPECT_EQ(lists.urls, QString::fromUtf8(c.urls)) << c.what;
        EXPECT_EQ(lists.formats, QString::fromUtf8(c.formats)) << c.what;
        EXPECT_EQ(ui.infos, c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{}) << c.what;
    }
}

TEST(KeywordExtract, RunWritesTheWorkbookOfEveryTab)
{
    JobFixture f;
    f.articles({{"【인물】 홍길동", "【출전】 열하일기", "<img src=\"a.jpg\">", "【그림】 등대", "<img src=\"b.jpg\">",
                 "【그림】 염전", "<img src=\"c.jpg\">", "【그림】"},
                {"본문만"},
                {"【인물】 007", "【인물】 1e5"}});
    ASSERT_TRUE(WriteBytes(f.workbook(), "earlier workbook"));
    struct : RecordingInteraction {
        std::map<int, std::pair<qint64, qint64>> bars; // the last position and maximum of each
        void Progress(int bar, qint64 position, qint64 maximum) override { bars[bar] = {position, maximum}; }
    } ui;
    const TKeywordRunOutcome out = f.run(ui);
    EXPECT_TRUE(out.completed);
    for (int bar : {0, 1, 2})
        EXPECT_EQ(ui.bars[bar].first, ui.bars[bar].second) << "bar " << bar << " ends full";
    EXPECT_EQ(out.workbooks, QStringList{f.workbook()});
    EXPECT_EQ(ui.questions, QStringList{MsgRunQuestion});
    EXPECT_EQ(ui.infos, QStringList{MsgRunDone});
    EXPECT_EQ(ReadBytes(f.workbook() + ".bak"), "earlier workbook");
    EXPECT_TRUE(IsKeywordUpdated(f.job));

    EXPECT_EQ(f.sheet("기본메타"), (TSheetRows{{"헤더", "제목", "출전"},
                                             {"기사 1", "기사 1", "열하일기"},
                                             {"기사 2", "기사 2", ""},
                                             {"기사 3", "기사 3", ""}}));
    EXPECT_EQ(f.sheet("인명"), (TSheetRows{{"헤더", "이름", "한자 이름"},
                                         {"기사 1", "홍길동", ""},
                                         {"기사 2", "", ""},
                                         {"기사 3", "007^1e5", ""}}));
    EXPECT_EQ(f.sheet("지명"), (TSheetRows{{"헤더", "지명"}, {"기사 1", ""}, {"기사 2", ""}, {"기사 3", ""}}));
    const QString url = "http://content.example/image_data/9001/";
    EXPECT_EQ(f.sheet("이미지"), (TSheetRows{{"헤더", "설명", "파일명", "경로", "형식"},
                                           {"기사 1", "등대", "a.jpg", url + "a.jpg", "jpg"},
                                           {"", "염전", "b.jpg", url + "b.jpg", "jpg"},
                                           {"기사 2", "", "", "", ""},
                                           {"기사 3", "", "", "", ""}}));

    QList<TResultSheet> grids;
    QString error;
    ASSERT_TRUE(ReadResultSheets(f.workbook(), f.codes, grids, &error)) << error.toStdString();
    ASSERT_EQ(grids.size(), 4);
    EXPECT_FALSE(grids[2].hasData) << "지명 has no data column";
    EXPECT_EQ(grids[3].rows, (TSheetRows{{"헤더", "설명", "파일명", "경로", "형식"},
                                        {"기사 1", "등대^염전", "a.jpg^b.jpg", url + "a.jpg^" + url + "b.jpg", "jpg^jpg"},
                                        {"기사 2", "", "", "", ""},
                                        {"기사 3", "", "", "", ""}}));
}

// Articles are searched ahead on several threads: the values still land on their own rows, the
// messages of their searches come in article order, and an article that cannot be read ends the
// tab's search there with its message, after the values of the articles before it, once.
TEST(KeywordExtract, ArticlesReadAheadKeepTheirOrderAndTheFirstUnreadableEndsTheSearch)
{
    JobFixture f;
    QList<QStringList> texts;
    QStringList expected;
    for (int i = 1; i <= 300; ++i) {
        texts << QStringList{i % 3 ? QString("【인물】 사람%1").arg(i) : QString("본문 %1").arg(i)};
        if (i % 70 == 0) {
            texts.last() << "【그림】 그림" << QString("<img src=\"pic%1\">").arg(i);
            if (i < 250)
                expected << MsgNoImageExtension(f.dir.filePath(QString("work_본문/%1.txt").arg(i)), 1, QString("pic%1").arg(i));
        }
    }
    f.articles(texts);
    ASSERT_TRUE(QFile::remove(f.dir.filePath("work_본문/250.txt")));
    RecordingInteraction ui;
    EXPECT_TRUE(f.run(ui).completed);
    EXPECT_EQ(ui.infos, expected + QStringList({f.dir.filePath("work_본문/250.txt") + ": 지정하신 파일을 열 수 없습니다.", MsgRunDone}));
    const TSheetRows names = f.sheet("인명");
    ASSERT_EQ(names.size(), 301);
    for (int i = 1; i <= 300; ++i)
        EXPECT_EQ(names[i][1], i < 250 && i % 3 ? QString("사람%1").arg(i) : QString()) << i;
}

TEST(KeywordExtract, TabWithoutReferenceStringsGetsTitlesOnly)
{
    JobFixture f;
    f.options = {{"101", 4, 1, "고정값"}};
    f.articles({{"【인물】 홍길동"}, {"둘"}});
    RecordingInteraction ui;
    EXPECT_TRUE(f.run(ui).completed);
    EXPECT_EQ(f.sheet("인명"), (TSheetRows{{"헤더", "이름", "한자 이름"}, {"기사 1", "", ""}, {"기사 2", "", ""}}));
}

TEST(KeywordExtract, ValueBeginningWithEqualsRefusesTheWorkbook)
{
    const struct {
        const char* line;
        bool written;
    } cases[] = {{"【출전】 =", false}, {"【출전】 =SUM(A1)", false}, {"【출전】 a=b", true}};
    for (const auto& c : cases) {
        JobFixture f;
        f.articles({{QString::fromUtf8(c.line)}});
        ASSERT_TRUE(WriteBytes(f.workbook(), "earlier workbook"));
        RecordingInteraction ui;
        const TKeywordRunOutcome out = f.run(ui);
        EXPECT_EQ(out.completed, c.written) << c.line;
        EXPECT_EQ(QFileInfo::exists(f.workbook()), c.written) << c.line;
        EXPECT_EQ(ReadBytes(f.workbook() + ".bak"), "earlier workbook") << c.line;
        EXPECT_EQ(IsKeywordUpdated(f.job), c.written) << c.line;
        if (!c.written) {
            EXPECT_EQ(ui.infos, QStringList({MsgEqualsRefused, MsgRunStopped})) << "not reported as complete";
        }
    }
}

TEST(KeywordExtract, EscIsConfirmedAndNoCarriesOn)
{
    for (bool stop : {false, true}) {
        JobFixture f;
        f.articles({{"【인물】 홍길동"}, {"【인물】 이순신"}});
        // Esc pressed just as the work begins, after the run's own clearing of the flag.
        class EscAtStart : public RecordingInteraction {
        public:
            int clears = 0;
            bool pressed = false;
            bool StopRequested() override { return pressed; }
            void ClearStop() override { pressed = ++clears == 1; }
        } esc;
        esc.answers = {true, stop}; // the run question, then the stop question
        const TKeywordRunOutcome out = RunKeywordExtraction(f.job, f.codes, f.options, {"101"}, "", esc);
        EXPECT_EQ(esc.questions, QStringList({MsgRunQuestion, MsgStopQuestion})) << stop;
        EXPECT_EQ(out.stopped, stop);
        EXPECT_EQ(out.completed, !stop);
        if (stop) {
            EXPECT_EQ(esc.infos, QStringList({MsgStopping, MsgRunStopped, MsgRunAbandoned}));
            EXPECT_FALSE(QFileInfo::exists(f.workbook()));
            EXPECT_FALSE(IsKeywordUpdated(f.job));
        } else {
            EXPECT_EQ(esc.infos, QStringList{MsgRunDone});
            EXPECT_EQ(f.sheet("인명").value(2).value(1), "이순신");
        }
    }
}

TEST(KeywordExtract, UnknownTabOrMissingDefinitionsCloseTheWindow)
{
    for (const QStringList& ids : {QStringList{"999"}, QStringList{"101", "101"}}) {
        JobFixture f;
        f.articles({{"【인물】 홍길동"}});
        if (ids.size() == 2)
            f.options.clear(); // 101 is a tab of the job, but no option carries it
        RecordingInteraction ui;
        const TKeywordRunOutcome out = RunKeywordExtraction(f.job, f.codes, f.options, ids, "", ui);
        EXPECT_TRUE(out.closeWindow);
        EXPECT_FALSE(out.completed);
        EXPECT_EQ(ui.infos.value(0), MsgArIdError);
    }
}

TEST(KeywordExtract, DefinitionsOfATabAreItsContiguousRecords)
{
    const QList<TvuxSchOption> options = {{"101", 1, 2, "【출전】"}, {"101", 4, 1, "고정"}, {"101", 2, 2, "【인물】"},
                                          {"102", 2, 2, "【人物】"}, {"101", 4, 2, "뒤에 다시"}};
    TKeywordColumns columns;
    ASSERT_TRUE(KeywordColumnsFor(options, "101", columns));
    EXPECT_EQ(columns.texts, QStringList({"【출전】", "【인물】"}));
    EXPECT_EQ(columns.pointers, QList<int>({1, 2}));
    EXPECT_FALSE(KeywordColumnsFor(options, "103", columns));
}

TEST(KeywordExtract, ElapsedTime)
{
    EXPECT_EQ(KeywordElapsedText(59), "59");
    EXPECT_EQ(KeywordElapsedText(65), "01:05");
    EXPECT_EQ(KeywordElapsedText(3723), "01:02:03");
}
