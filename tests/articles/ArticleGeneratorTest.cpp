#include "articles/ArticleGenerator.h"
#include "common/TestSupport.h"
#include "jobs/JobLayout.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Presses Esc once the analysis of a file reports progress.
struct EscDuringRun : RecordingInteraction {
    bool armed = false;
    void Progress(int bar, qint64 position, qint64 maximum) override
    {
        stop = stop || (armed && bar == BarFile && position > 0 && position < maximum);
    }
};

// A job folder with one tab "A" whose sources are in "src".
struct Fixture {
    QTemporaryDir dir;
    TJobDefine job;
    EscDuringRun ui;
    QMap<QString, QString> states; // "col:text" of the last change per column

    Fixture(const QString& tabName = "A", const QString& src = "src")
    {
        job.WorkFolder = dir.path();
        job.pNAME = "p";
        job.TabsCount = 1;
        job.TabsName[0] = tabName;
        job.TabsFile[0] = src;
        WriteBytes(dir.path() + "/vuxinfo.ini", "[VUX]\r\npNAME=p\r\n");
        QDir().mkpath(dir.path() + "/" + src);
    }
    QString path(const QString& rel) const { return dir.path() + "/" + rel; }
    void source(const QString& rel, const QStringList& lines) { WriteBytes(path("src/" + rel), Utf16File(lines)); }
    QStringList lines(const QString& rel) const
    {
        QStringList l;
        ReadTextLines(path(rel), l);
        return l;
    }
    bool run(LongLineHandler* h = nullptr, const QStringList& remove = {})
    {
        TArticleGenerator gen(job, ui, h);
        gen.SetRemoveTexts(remove);
        gen.SetTabStateCallback([this](int, int col, const QString& t) { states[QString::number(col)] = t; });
        return gen.MakeTabArticles(0);
    }
};

// Answers the long-line question by cutting the file's long lines at ". ".
struct CuttingHandler : LongLineHandler {
    QStringList calls;
    bool fix = true;
    bool FixLongLine(const QString& file, int lineNumber, const QString& line, bool& noAsk) override
    {
        calls << QStringLiteral("%1:%2:%3").arg(QFileInfo(file).fileName()).arg(lineNumber).arg(line.size());
        noAsk = true;
        if (!fix)
            return false;
        QStringList l;
        ReadTextLines(file, l);
        QStringList out;
        for (const QString& s : l) {
            if (s.size() <= MaxSourceLineLength) {
                out << s;
                continue;
            }
            for (qsizetype i = 0; i < s.size(); i += 1000)
                out << s.mid(i, 1000);
        }
        return WriteTextLines(file, out);
    }
};

} // namespace

// One source file in, the rewritten source lines and the index entries out.
TEST(ArticleGenerator, RewritesHeadingsAndNumbersThem)
{
    struct Case {
        const char* name;
        QStringList in;
        QStringList rewritten;
        QStringList index; // id/level/title triples
        int fixes;
    } cases[] = {
        {"trimmed prefix and tail", {"  <h1>Title</h1> tail"}, {"<H1 id=1>Title</H1>tail"}, {"1", "1", "Title"}, 0},
        {"skipped level is fixed", {"<h2>A</h2>", "<h4>B</h4>"}, {"<H2 id=1>A</H2>", "<H3 id=1_1>B</H3>"},
         {"1", "2", "A", "1_1", "3", "B"}, 1},
        {"attributes dropped", {"<h1 class=\"x\" id=\"old\">T</h1>"}, {"<H1 id=1>T</H1>"}, {"1", "1", "T"}, 0},
        {"rule before heading is no heading", {"<hr><h1>X</h1>", "<h1>Y</h1>"}, {"<hr><h1>X</h1>", "<H1 id=1>Y</H1>"},
         {"1", "1", "Y"}, 0},
        {"title kept untrimmed, upper tags", {"<H1> Sp </H1>"}, {"<H1 id=1> Sp </H1>"}, {"1", "1", " Sp "}, 0},
        {"siblings and return to top", {"<h1>a</h1>", "<h2>b</h2>", "<h2>c</h2>", "<h3>d</h3>", "<h1>e</h1>", "<h2>f</h2>"},
         {"<H1 id=1>a</H1>", "<H2 id=1_1>b</H2>", "<H2 id=1_2>c</H2>", "<H3 id=1_2_1>d</H3>", "<H1 id=2>e</H1>",
          "<H2 id=2_1>f</H2>"},
         {"1", "1", "a", "1_1", "2", "b", "1_2", "2", "c", "1_2_1", "3", "d", "2", "1", "e", "2_1", "2", "f"}, 0},
        {"level zero before the first level", {"<h0>z</h0>", "<h1>a</h1>"}, {"<H0 id=1>z</H0>", "<H1 id=2>a</H1>"},
         {"1", "0", "z", "2", "1", "a"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.source("a.txt", c.in);
        ASSERT_TRUE(f.run()) << f.ui.infos.join("|").toStdString();
        EXPECT_EQ(f.lines("src/a.txt"), c.rewritten);
        EXPECT_EQ(f.lines("A.idx"), c.index);
        EXPECT_EQ(f.states["4"], c.fixes ? QStringLiteral("레벨오류 %1개 수정").arg(c.fixes) : QStringLiteral("정상 완료"));
        EXPECT_EQ(f.states["3"], "완료");
        EXPECT_EQ(f.ui.reports.contains(QStringLiteral("레벨오류 %1개 수정").arg(c.fixes)), c.fixes > 0);
        // A file is backed up exactly when a heading line changed.
        EXPECT_EQ(QFileInfo::exists(f.path("src/a.txt.001.org")), c.in != c.rewritten);
    }
}

TEST(ArticleGenerator, BadHeadingsStopTheTabAndLeaveTheSource)
{
    struct Case {
        QStringList in;
        QString message;
        int line; // 1-based, in the closing message
    } cases[] = {
        {{"<h2>a</h2>", "<h1>b</h1>"},
         "줄#1: 레벨 값이 없거나, 최초 레벨보다 적습니다.\r\n<h1>\r\n첫 레벨을 변경한 후 다시 실행하십시오", 2},
        {{"x", "<h1>=T</h1>"}, "제목(=T)에 첫 문자로 사용할 수 없는 '='가 있습니다.", 2},
        {{"<h1></h1>"}, "줄#0: 제목이 없습니다.", 1},
        {{"<h1 Title</h1>"}, "줄#0: > 오류!", 1},
        {{"<h1>T</h1", "<h1>U</h1>"}, "줄#0: > 오류!", 1},
        {{"</h1> <h1>T"}, "줄#0: > 오류!", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        Fixture f;
        f.source("a.txt", c.in);
        const QByteArray before = ReadBytes(f.path("src/a.txt"));
        EXPECT_FALSE(f.run());
        EXPECT_EQ(f.ui.infos.value(0), c.message);
        EXPECT_EQ(f.ui.infos.value(1), QStringLiteral("줄 번호 #%1: 트리 구성 중 오류가 발생했습니다.").arg(c.line));
        EXPECT_EQ(ReadBytes(f.path("src/a.txt")), before);
        EXPECT_FALSE(QFileInfo::exists(f.path("src/a.txt.001.org")));
        EXPECT_FALSE(QFileInfo::exists(f.path("A.idx")));
    }
}

// Code page 949 in, UTF-16LE with byte-order mark and CR LF out, the original kept byte for byte.
TEST(ArticleGenerator, FilesAreByteExact)
{
    Fixture f;
    const QByteArray cp949 = EncodeCp949(QStringLiteral("머리말\r\n<h1>첫째 장</h1>\r\n본문 한 줄\r\n\r\n<h2>절</h2>\r\n끝"));
    WriteBytes(f.path("src/a.txt"), cp949);
    ASSERT_TRUE(f.run());
    EXPECT_EQ(ReadBytes(f.path("src/a.txt.001.org")), cp949);
    EXPECT_EQ(ReadBytes(f.path("src/a.txt")),
              Utf16File({"머리말", "<H1 id=1>첫째 장</H1>", "본문 한 줄", "", "<H2 id=1_1>절</H2>", "끝"}));
    EXPECT_EQ(ReadBytes(f.path("A.idx")), Utf16File({"1", "1", "첫째 장", "1_1", "2", "절"}));
    EXPECT_EQ(ReadBytes(f.path("work_A/0001/1.txt")), Utf16File({"<H1 id=1>첫째 장</H1>", "본문 한 줄", ""}));
    EXPECT_EQ(ReadBytes(f.path("work_A/0001/1_1.txt")), Utf16File({"<H2 id=1_1>절</H2>", "끝"}));
}

TEST(ArticleGenerator, ArticlesAcrossFilesAndTheRemoveOption)
{
    Fixture f;
    f.source("a.txt", {"above", "<h1>a</h1>", "x DROP y", "keep"});
    f.source("B.TXT", {"<h1>b</h1>", "<h2>b1</h2>"});
    f.source("sub/c.txt", {"before c", "<h1>c</h1>", "drop", "last"});
    f.source("notes.md", {"<h1>ignored</h1>"});
    ASSERT_TRUE(f.run(nullptr, {"DROP", "drop"}));
    EXPECT_EQ(f.lines("A.idx"), QStringList({"1", "1", "a", "2", "1", "b", "2_1", "2", "b1", "3", "1", "c"}));
    EXPECT_EQ(f.lines("work_A/0001/1.txt"), QStringList({"<H1 id=1>a</H1>", "keep"}));
    EXPECT_EQ(f.lines("work_A/0002/2.txt"), QStringList({"<H1 id=2>b</H1>"}));
    EXPECT_EQ(f.lines("work_A/0003/3.txt"), QStringList({"<H1 id=3>c</H1>", "last"}));
    // The remove texts touch only the articles.
    EXPECT_TRUE(f.lines("src/a.txt").contains("x DROP y"));
    EXPECT_EQ(QDir(f.path("work_A")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList({"0001", "0002", "0003"}));
}

TEST(ArticleGenerator, RepeatedRunsKeepOneGeneration)
{
    Fixture f;
    f.source("a.txt", {"<h1>a</h1>", "t"});
    for (int run = 0; run < 3; ++run)
        ASSERT_TRUE(f.run());
    EXPECT_TRUE(QFileInfo::exists(f.path("src/a.txt.001.org")));
    EXPECT_FALSE(QFileInfo::exists(f.path("src/a.txt.002.org")));
    EXPECT_EQ(f.lines("src/a.txt"), QStringList({"<H1 id=1>a</H1>", "t"}));
    EXPECT_TRUE(QFileInfo::exists(f.path("A.idx.bak")));
    EXPECT_TRUE(QFileInfo::exists(f.path("~work_A/0001/1.txt")));
    EXPECT_TRUE(QFileInfo::exists(f.path("work_A/0001/1.txt")));
    QDir d(f.dir.path());
    EXPECT_EQ(d.entryList({"*.bak*", "~*"}, QDir::AllEntries), QStringList({"A.idx.bak", "~work_A"}));
}

TEST(ArticleGenerator, EmptySourceFolderGivesEmptyIndex)
{
    Fixture f;
    ASSERT_TRUE(f.run());
    EXPECT_EQ(ReadBytes(f.path("A.idx")), QByteArray("\xFF\xFE", 2));
    EXPECT_EQ(f.states["3"], "완료");
    EXPECT_EQ(f.states["4"], "정상 완료");
}

TEST(ArticleGenerator, LongLinesGoToTheSplitterAndRestartTheFile)
{
    Fixture f;
    f.source("a.txt", {"<h1>a</h1>", QString(3900, 'x')});
    f.source("b.txt", {"<h1>b</h1>", "<h2>b1</h2>", QString(3901, 'y'), "<h2>b2</h2>"});
    CuttingHandler h;
    ASSERT_TRUE(f.run(&h));
    EXPECT_EQ(h.calls, QStringList({"b.txt:3:3901"}));
    // The headings of b.txt seen before the restart are counted once.
    EXPECT_EQ(f.lines("A.idx"), QStringList({"1", "1", "a", "2", "1", "b", "2_1", "2", "b1", "2_2", "2", "b2"}));
    EXPECT_TRUE(f.ui.reports.contains("줄 번호 #3: 줄이 너무 깁니다."));
    EXPECT_TRUE(f.ui.reports.contains("긴 줄 수정 후 재시작."));
    EXPECT_EQ(f.lines("work_A/0002/2_1.txt").size(), 5);

    Fixture g;
    g.source("a.txt", {"<h1>a</h1>", QString(4000, 'x')});
    h.fix = false;
    EXPECT_FALSE(g.run(&h));
    EXPECT_FALSE(g.run(nullptr));
}

TEST(ArticleGenerator, EscStopsAtAProgressPoint)
{
    Fixture f;
    QStringList l;
    for (int i = 0; i < 250; ++i)
        l << QStringLiteral("<h1>t%1</h1>").arg(i);
    f.source("a.txt", l);
    f.ui.armed = true;
    f.ui.answers = {false, true}; // first point: go on; second: stop
    EXPECT_FALSE(f.run());
    EXPECT_EQ(f.ui.questions, QStringList({"취소합니까?", "취소합니까?"}));
    EXPECT_FALSE(QFileInfo::exists(f.path("A.idx")));
}

TEST(ArticleGenerator, BadInputIsRefusedWithoutTouchingSources)
{
    {
        SCOPED_TRACE("invalid code page 949 bytes");
        Fixture f;
        const QByteArray bad("<h1>a</h1>\r\n\x81\x20\xFF\r\n", 16);
        WriteBytes(f.path("src/a.txt"), bad);
        EXPECT_FALSE(f.run());
        EXPECT_TRUE(f.ui.infos.value(0).contains("문자 코드가 올바르지 않은"));
        EXPECT_EQ(ReadBytes(f.path("src/a.txt")), bad);
        EXPECT_FALSE(QFileInfo::exists(f.path("src/a.txt.001.org")));
    }
    {
        SCOPED_TRACE("binary file named .txt");
        Fixture f;
        WriteBytes(f.path("src/a.txt"), QByteArray("\x00\x01<h1>a</h1>", 12));
        EXPECT_FALSE(f.run());
        EXPECT_FALSE(QFileInfo::exists(f.path("src/a.txt.001.org")));
    }
    {
        SCOPED_TRACE("missing source folder keeps the previous index");
        Fixture f;
        WriteBytes(f.path("A.idx"), Utf16File({"1", "1", "old"}));
        f.job.TabsFile[0] = "gone";
        EXPECT_FALSE(f.run());
        EXPECT_EQ(f.ui.infos.value(0), "원본 폴더가 없습니다.\r\n[" + f.path("gone") + "]");
        EXPECT_TRUE(QFileInfo::exists(f.path("A.idx")));
    }
    {
        SCOPED_TRACE("source folder that holds the job folder");
        Fixture f;
        f.job.TabsFile[0] = "..";
        EXPECT_FALSE(f.run());
        EXPECT_FALSE(QFileInfo::exists(f.path("work_A")));
    }
    {
        SCOPED_TRACE("tab name that would leave the job folder");
        Fixture f("../A");
        EXPECT_FALSE(f.run());
        EXPECT_FALSE(f.ui.infos.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(f.path("../work_../A")));
    }
}

TEST(ArticleGenerator, SourcesOutsideTheJobFolderAreNeverWritten)
{
    QTemporaryDir outside;
    const QByteArray source = Utf16File({"  <h1>바깥</h1>"});
    WriteBytes(outside.path() + "/a.txt", source);
    const struct {
        const char* what;
        std::function<QString(const QString& job)> folder; // as the job file gives it
    } cases[] = {
        {"parent folder", [&](const QString& job) { return QDir(job).relativeFilePath(outside.path()); }},
        {"absolute path", [&](const QString&) { return outside.path(); }},
        {"symbolic link", [&](const QString& job) {
             QFile::link(outside.path(), job + "/link");
             return QStringLiteral("link");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        f.job.TabsFile[0] = c.folder(f.dir.path());
        EXPECT_FALSE(f.run());
        ASSERT_EQ(f.ui.infos.size(), 1);
        EXPECT_TRUE(f.ui.infos[0].startsWith("원본 폴더가 작업 폴더 밖에 있어")) << f.ui.infos[0].toStdString();
        EXPECT_TRUE(f.ui.infos[0].endsWith(QDir::cleanPath(TabSourceFolder(f.job, 0)) + "]"));
        EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files), QStringList{"a.txt"});
        EXPECT_EQ(ReadBytes(outside.path() + "/a.txt"), source);
        EXPECT_FALSE(QFileInfo::exists(f.path("work_A")));
    }
}

TEST(ArticleGenerator, FailedWriteDumpsTheHeadingList)
{
    Fixture f;
    f.source("a.txt", {"<h1>a</h1>", "<h2>b</h2>"});
    TArticleGenerator gen(f.job, f.ui);
    ASSERT_TRUE(gen.MakeTabArticles(0));
    QFile::remove(f.path("src/a.txt"));
    QFile::remove(f.path("A.idx"));
    EXPECT_FALSE(gen.WriteArticles(0));
    EXPECT_FALSE(QFileInfo::exists(f.path("A.idx")));
    EXPECT_EQ(ReadBytes(f.path("src.idxtmp.txt")), Utf16File({"a", "1", "1", "a.txt", "0", "b", "2", "1_1", "a.txt", "1"}));
    const int at = int(f.ui.reports.indexOf("기사 생성 중 오류가 발생했습니다."));
    ASSERT_GE(at, 0);
    EXPECT_EQ(f.ui.reports.value(at + 1), "src.idxtmp.txt 파일을 참조하십시오.");
    EXPECT_EQ(f.ui.reports.value(at + 2), "줄번호 = 0");
}

TEST(ArticleGenerator, RunOverTabs)
{
    Fixture f;
    f.job.TabsCount = 2;
    f.job.TabsName[1] = "B";
    f.job.TabsFile[1] = "srcB";
    f.source("a.txt", {"<h1>a</h1>", "<h1>=bad</h1>"});
    QDir().mkpath(f.path("srcB"));
    QStringList states;
    auto track = [&](int tab, int col, const QString& t) { states << QStringLiteral("%1/%2/%3").arg(tab).arg(col).arg(t); };

    EXPECT_FALSE(GenerateArticles(f.job, {}, {}, f.ui, nullptr, track));
    EXPECT_EQ(f.ui.infos.last(), "기사를 생성할 탭이 하나도 선택되지 않았습니다.");

    f.ui.answers = {false};
    EXPECT_FALSE(GenerateArticles(f.job, {0, 1}, {}, f.ui, nullptr, track));
    EXPECT_TRUE(states.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(f.path("work_A")));

    EXPECT_FALSE(GenerateArticles(f.job, {0, 1}, {}, f.ui, nullptr, track));
    EXPECT_EQ(states, QStringList({"0/3/진행중", "0/3/중단"}));
    EXPECT_EQ(f.ui.reports.last(), "작업을 중단했습니다.");
    EXPECT_EQ(f.ui.infos.last(), "작업을 중단했습니다.");

    states.clear();
    f.source("a.txt", {"<h1>a</h1>"});
    EXPECT_TRUE(GenerateArticles(f.job, {0, 1}, {}, f.ui, nullptr, track));
    EXPECT_EQ(states, QStringList({"0/3/진행중", "0/4/정상 완료", "0/3/완료", "1/3/진행중", "1/4/정상 완료", "1/3/완료"}));
    EXPECT_EQ(f.ui.infos.last(), "작업을 완료했습니다.");
}

TEST(ArticleGenerator, GroupFoldersAndElapsedTime)
{
    EXPECT_EQ(GenerationElapsedText(59), "경과시간 = 59초");
    EXPECT_EQ(GenerationElapsedText(187), "경과시간 = 3:07");
    EXPECT_EQ(GenerationElapsedText(3723), "경과시간 = 1:02:03");
    EXPECT_EQ(GenerationElapsedText(2 * 86400 + 3723), "경과시간 = 2일 01:02:03");
    EXPECT_EQ(ArticleGroupFolder("3"), "0003");
    EXPECT_EQ(ArticleGroupFolder("3_2_1"), "0003");
    EXPECT_EQ(ArticleGroupFolder("12345_1"), "12345");
}
