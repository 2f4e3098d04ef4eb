#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "shell/TextFile.h"
#include "tools/UsedTags.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Dump(const TTagTable& t)
{
    QStringList parts;
    for (const auto& [tag, count] : t)
        parts << tag + '=' + QString::number(count);
    return parts.join(' ');
}

TEST(UsedTags, ScanLine)
{
    const struct {
        const char* line;
        const char* expected;
    } cases[] = {
        // The scan of a line ends at its first closing tag.
        {"<P>text<B>bold</B><I>more", "B=1 P=1"},
        // A "<" with no ">" after it: the name runs to the next space and the line is done.
        {"a <font size=3 <b", "FONT=1"},
        {"<p><P><p class=\"x\">", "P=3"},
        {"<>", "=1"},
        // The text after a "<" is scanned again, so a "<" inside a tag starts another one.
        {"<a<b>", "A<B=1 B=1"},
        {"</p><p>", ""},
        {"no tags at all", ""},
        {"<h1>제목</h1>", "H1=1"},
        {"<표>내용", "표=1"},
        {"<", "=1"},
    };
    for (const auto& c : cases) {
        TTagTable t;
        ScanTagLine(QString::fromUtf8(c.line), t);
        EXPECT_EQ(Dump(t), QString::fromUtf8(c.expected)) << c.line;
    }
}

TEST(UsedTags, Formats)
{
    EXPECT_EQ(FormatTagCount(0), "0");
    EXPECT_EQ(FormatTagCount(999), "999");
    EXPECT_EQ(FormatTagCount(1000), "1,000");
    EXPECT_EQ(FormatTagCount(1234567), "1,234,567");

    EXPECT_EQ(ElapsedSecondsText(0), "0");
    EXPECT_EQ(ElapsedSecondsText(59), "59");
    EXPECT_EQ(ElapsedSecondsText(65), "1:05");
    EXPECT_EQ(ElapsedSecondsText(3600 + 2 * 60 + 3), "1:02:03");
    EXPECT_EQ(ElapsedSecondsText(86400 * 3 + 4 * 3600 + 5 * 60 + 6), "3일 04:05:06");

    EXPECT_EQ(UsedTagsClipboardText({{"본문", ""}, {"P", "1,024"}}), "TAG\tcount\n본문\t\nP\t1,024\n");
}

// A job with two tabs; the article files are written the way the generator writes them.
class UsedTagsJob : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TJobDefine job;

    void SetUp() override
    {
        job.WorkFolder = dir.path();
        job.pNAME = "데모 도서";
        job.TabsCount = 2;
        job.TabsName[0] = "본문";
        job.TabsFile[0] = "src1";
        job.TabsName[1] = "번역";
        job.TabsFile[1] = "src2";
    }
    void Article(const QString& relative, const QByteArray& bytes)
    {
        ASSERT_TRUE(WriteBytes(dir.path() + '/' + relative, bytes));
    }
};

class Observer : public UsedTagsObserver {
public:
    QStringList states;
    QList<QList<TTagResultRow>> sections;
    void TabState(int tab, const QString& state) override { states << QString::number(tab) + state; }
    void SectionAdded(const QList<TTagResultRow>& rows) override { sections << rows; }
    void CountingTab(bool) override {}
};

QStringList Flat(const QList<TTagResultRow>& rows)
{
    QStringList out;
    for (const auto& r : rows)
        out << r.name + '|' + r.count;
    return out;
}

TEST_F(UsedTagsJob, SectionsShowRunningTotalsAcrossTabs)
{
    Article("work_본문/0001/1.txt", Utf16File({"<p>하나</p>", "<P class=x>둘"}));
    // Code page 949 without a byte-order mark, in a sub-folder and with an upper-case extension.
    Article("work_본문/0002/2_1.TXT", EncodeCp949("<b>굵게</b>\r\n<br>"));
    Article("work_본문/0002/notes.md", "<ignored>");
    Article("work_번역/0001/1.txt", Utf16File({"<p>", "<p><br>"}));

    RecordingInteraction ui;
    Observer obs;
    const TUsedTagsOutcome r = CountUsedTags(job, {true, true}, ui, &obs);

    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.unreadable, 0);
    EXPECT_EQ(Flat(r.rows), QStringList({"본문|", "B|1", "BR|1", "P|2", "번역|", "B|1", "BR|2", "P|4"}));
    EXPECT_EQ(obs.sections.size(), 2);
    EXPECT_EQ(obs.states, QStringList({"0대기", "1대기", "0진행중", "0완료", "1진행중", "1완료"}));
    EXPECT_EQ(ui.infos, QStringList({"작업을 완료했습니다."}));
    EXPECT_EQ(ui.reports,
              QStringList({"작업을 중단하려면 ESC를 누르세요.", "0001/1.txt", "0002/2_1.TXT", "0001/1.txt"}));
    EXPECT_TRUE(UsedTagsClipboardText(r.rows).startsWith("TAG\tcount\n본문\t\nB\t1\n"));
}

TEST_F(UsedTagsJob, UntickedTabsAndNoSelection)
{
    Article("work_번역/0001/1.txt", Utf16File({"<p>"}));
    {
        RecordingInteraction ui;
        Observer obs;
        const TUsedTagsOutcome r = CountUsedTags(job, {false, true}, ui, &obs);
        EXPECT_EQ(Flat(r.rows), QStringList({"번역|", "P|1"}));
        EXPECT_EQ(obs.states.first(), "0미실행");
    }
    {
        RecordingInteraction ui;
        Observer obs;
        const TUsedTagsOutcome r = CountUsedTags(job, {false, false}, ui, &obs);
        EXPECT_FALSE(r.started);
        EXPECT_EQ(ui.infos, QStringList({"통계 추출 탭이 하나도 선택되지 않았습니다."}));
        EXPECT_TRUE(ui.reports.isEmpty());
        EXPECT_EQ(obs.states, QStringList({"0미실행", "1미실행"}));
    }
}

// Stops when the pane shows a given line, as if Esc were pressed while that file is counted.
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

TEST_F(UsedTagsJob, EscStopsTheRunAndKeepsFinishedSections)
{
    Article("work_본문/0001/1.txt", Utf16File({"<p>"}));
    Article("work_번역/0001/1.txt", Utf16File({"<p>", "<b>"}));
    Article("work_번역/0001/2.txt", Utf16File({"<i>"}));

    StopAt ui;
    ui.at = "0001/1.txt";
    ui.answers = {false}; // the first Esc (in tab one) is taken back
    Observer obs;
    // Second Esc: set again when tab two reaches its first file.
    struct Again : public Observer {
        StopAt* ui;
        void TabState(int tab, const QString& state) override
        {
            Observer::TabState(tab, state);
            if (tab == 1 && state == TagStateRunning)
                ui->answers = {true};
        }
    } again;
    again.ui = &ui;
    const TUsedTagsOutcome r = CountUsedTags(job, {true, true}, ui, &again);

    EXPECT_FALSE(r.completed);
    EXPECT_EQ(ui.questions, QStringList({"취소합니까?", "취소합니까?"}));
    EXPECT_EQ(Flat(r.rows), QStringList({"본문|", "P|1"}));
    EXPECT_EQ(again.states.mid(2), QStringList({"0진행중", "0완료", "1진행중", "1중단"}));
    EXPECT_EQ(ui.reports.last(), "작업을 중단했습니다.");
    EXPECT_EQ(ui.infos, QStringList({"작업을 중단했습니다."}));
    EXPECT_FALSE(ui.stop);
}

TEST_F(UsedTagsJob, BadFilesAreReportedAndTheRestCounted)
{
    QByteArray binary("<p>\0\0\x01\x02<b>", 10);
    Article("work_본문/0001/1.txt", binary);
    Article("work_본문/0001/2.txt", Utf16File({"<i>"}));
    Article("work_본문/0001/3.txt", QByteArray("<u>"));
    // Not an article name: the loader refuses it, the other files are still counted.
    Article("work_본문/0001/readme.txt", QByteArray("<x>"));
    job.TabsCount = 3;
    job.TabsName[2] = "없는탭"; // never generated: no article folder

    RecordingInteraction ui;
    const TUsedTagsOutcome r = CountUsedTags(job, {true, false, true}, ui);

    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.unreadable, 2);
    EXPECT_EQ(Flat(r.rows), QStringList({"본문|", "I|1", "U|1", "없는탭|", "I|1", "U|1"}));
    EXPECT_EQ(ui.infos, QStringList({dir.path() + "/work_본문/0001/1.txt: 지정하신 파일을 열 수 없습니다.\r\n텍스트 파일이 아닙니다.",
                                     dir.path() + "/work_본문/0001/readme.txt: 파일 형식이 다릅니다.",
                                     "작업을 완료했습니다."}));
    EXPECT_TRUE(ui.reports.contains(" * Error * 파일을 열 수 없음: 0001/1.txt"));
    EXPECT_TRUE(ui.reports.contains("기사 폴더(" + dir.path()
                                    + "/work_없는탭)가 없습니다. 기본작업 -> \"기사 생성\"을 실행하십시오."));
}

} // namespace
