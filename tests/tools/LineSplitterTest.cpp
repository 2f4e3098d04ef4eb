#include "common/TestSupport.h"
#include "shell/TextFile.h"
#include "tools/LineSplitter.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Presses Esc as soon as the run reports progress.
struct EscDuringRun : RecordingInteraction {
    void Progress(int, qint64 position, qint64) override { stop = stop || position > 0; }
};

LineSplitOptions Opts(std::initializer_list<SplitText> seps, bool noAsk = true)
{
    LineSplitOptions o;
    int i = 0;
    for (const SplitText& s : seps)
        o.seps[i++] = s;
    o.noAsk = noAsk;
    return o;
}

QStringList Lines(const QString& path)
{
    QStringList l;
    ReadTextLines(path, l);
    return l;
}

// `n` characters of filler with `sep` starting at each of the 1-based `positions`.
QString Filled(int n, const QString& sep, std::initializer_list<int> positions)
{
    QString s(n, 'a');
    for (int p : positions)
        s.replace(p - 1, sep.size(), sep);
    return s;
}

} // namespace

TEST(LineSplitter, SplitsAtTheLastUsableSplitText)
{
    struct Case {
        const char* name;
        QString line;
        SplitText sep;
        QStringList expected; // sizes and heads of the resulting lines, "size:first two chars"
        SplitOutcome outcome;
    } cases[] = {
        {"3849 left alone", Filled(3849, ". ", {100}), {". ", false}, {"3849:aa"}, SplitOutcome::Done},
        {"3850 split after", Filled(3850, ". ", {100, 3800}), {". ", false}, {"3801:aa", "49:aa"}, SplitOutcome::Done},
        {"split before", Filled(3850, "#", {100, 3800}), {"#", true}, {"3799:aa", "51:#a"}, SplitOutcome::Done},
        {"only at 3801 is unsplit", Filled(3900, "#", {3801}), {"#", false}, {"3900:aa"}, SplitOutcome::Unsplit},
        {"not found is unsplit", QString(3900, 'a'), {"#", false}, {"3900:aa"}, SplitOutcome::Unsplit},
        {"before at position 1 only", Filled(3900, "#", {1}), {"#", true}, {"3900:#a"}, SplitOutcome::Unsplit},
        {"10000 becomes three or more", Filled(10000, "#", {3000, 6000, 9000}), {"#", false},
         {"3000:aa", "3000:aa", "3000:aa", "1000:aa"}, SplitOutcome::Done},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString file = dir.path() + "/a.txt";
        WriteBytes(file, Utf16File({"head", c.line}));
        RecordingInteraction ui;
        const LineSplitResult r = SplitLongLines(file, Opts({c.sep}), ui);
        EXPECT_EQ(r.outcome, c.outcome);
        QStringList got;
        for (const QString& l : Lines(file).mid(1))
            got << QStringLiteral("%1:%2").arg(l.size()).arg(l.left(2));
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(Lines(file).value(0), "head");
        EXPECT_EQ(QFileInfo::exists(file + ".001.org"), c.expected.size() > 1);
    }
}

TEST(LineSplitter, NextSplitTextWorksOnTheRewrittenFile)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/a.txt";
    // Line 1 splits at ". ", line 2 has "#" only at 3801 and "," earlier.
    WriteBytes(file, Utf16File({Filled(3900, ". ", {2000}), Filled(3900, "#", {3801}).replace(1500, 1, ",")}));
    RecordingInteraction ui;
    const LineSplitResult r = SplitLongLines(file, Opts({{". ", false}, {}, {",", true}}), ui);
    EXPECT_EQ(r.outcome, SplitOutcome::Done);
    EXPECT_EQ(r.backups, QStringList({file + ".001.org", file + ".002.org"}));
    const QStringList l = Lines(file);
    ASSERT_EQ(l.size(), 4);
    EXPECT_TRUE(l[0].endsWith(". "));
    EXPECT_TRUE(l[3].startsWith(","));
    // The first pass reports its unsplit line even in do-not-ask mode.
    EXPECT_TRUE(ui.reports.contains("바꾸지 못한 줄 수 : 1"));
    EXPECT_TRUE(ui.reports.contains(QString(40, '-') + "[]"));
    EXPECT_TRUE(ui.reports.contains("#1 -> 1"));
}

// A later empty split text must not turn remaining unsplit lines into a success.
TEST(LineSplitter, UnsplitLinesOutliveEmptySplitTexts)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/a.txt";
    WriteBytes(file, Utf16File({QString(3900, 'a')}));
    RecordingInteraction ui;
    const LineSplitResult r = SplitLongLines(file, Opts({{"#", false}, {}, {}, {}, {}}), ui);
    EXPECT_EQ(r.outcome, SplitOutcome::Unsplit);
    EXPECT_EQ(r.unsplitLines, 1);
    EXPECT_TRUE(ui.reports.contains("줄 1: 구분자를 찾을 수 없습니다."));
}

TEST(LineSplitter, Cp949InputIsWrittenAsUtf16AndBackedUp)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/a.txt";
    const QByteArray original = EncodeCp949(QStringLiteral("가") + QString(3000, u'나') + QStringLiteral(". ")
                                            + QString(1000, u'다') + QStringLiteral("\r\n"));
    WriteBytes(file, original);
    RecordingInteraction ui;
    EXPECT_EQ(SplitLongLines(file, Opts({{". ", false}}), ui).outcome, SplitOutcome::Done);
    EXPECT_EQ(ReadBytes(file + ".001.org"), original);
    EXPECT_EQ(ReadBytes(file),
              Utf16File({QStringLiteral("가") + QString(3000, u'나') + ". ", QString(1000, u'다')}));
}

TEST(LineSplitter, AskingStoppingAndRefusing)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/a.txt";
    const QByteArray content = Utf16File({"x", Filled(3900, "#", {10})});
    WriteBytes(file, content);
    {
        RecordingInteraction ui;
        EXPECT_EQ(SplitLongLines(file, Opts({}), ui).outcome, SplitOutcome::NoSplitText);
        EXPECT_EQ(ui.infos, QStringList({"줄 분리 구분자를 입력하세요."}));
    }
    {
        RecordingInteraction ui;
        ui.answers = {false};
        EXPECT_EQ(SplitLongLines(file, Opts({{"#", false}}, false), ui).outcome, SplitOutcome::Declined);
        EXPECT_EQ(ui.questions, QStringList({"줄 분리를 시작합니까?"}));
    }
    {
        EscDuringRun ui;
        ui.answers = {true, true}; // start, then cancel
        EXPECT_EQ(SplitLongLines(file, Opts({{"#", false}}, false), ui).outcome, SplitOutcome::Stopped);
    }
    EXPECT_EQ(ReadBytes(file), content);
    {
        RecordingInteraction ui;
        const QByteArray bad("\x81\x20\xFF\r\n", 5);
        WriteBytes(file, bad);
        EXPECT_EQ(SplitLongLines(file, Opts({{"#", false}}), ui).outcome, SplitOutcome::Failed);
        EXPECT_EQ(ReadBytes(file), bad);
        EXPECT_FALSE(QFileInfo::exists(file + ".001.org"));
    }
    {
        RecordingInteraction ui;
        EXPECT_EQ(SplitLongLines(dir.path() + "/none.txt", Opts({{"#", false}}), ui).outcome, SplitOutcome::Failed);
        EXPECT_EQ(ui.reports, QStringList({"파일을 열 수 없습니다.", dir.path() + "/none.txt"}));
    }
}

TEST(LineSplitter, VisibleRunReportsEverything)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/a.txt";
    WriteBytes(file, Utf16File({Filled(3900, "#", {10, 3000})}));
    RecordingInteraction ui;
    EXPECT_EQ(SplitLongLines(file, Opts({{"#", true}}, false), ui).outcome, SplitOutcome::Done);
    const QString ruler(40, '-');
    EXPECT_EQ(ui.reports, QStringList({ruler, "[#] 기준으로 앞에서 나눔.",
                                       "한 번에 줄 나눔이 처리되지 않으면, 구분자를 바꿔가면서 여러 번 실행하십시오.",
                                       ruler + "[#]", "#1 -> 1", ruler + "원본을 다른 이름으로 저장합니다.",
                                       file + ".001.org", ruler + "변환이 완료되었습니다.", ruler + "변경된 줄 수 : 1",
                                       "늘어난 줄 수 : 1", "바꾸지 못한 줄 수 : 0"}));
}

TEST(LineSplitter, SettingsKeepBlanks)
{
    LineSplitOptions o = Opts({{" . ", true}, {"x", false}});
    SaveSplitterSettings(o);
    const LineSplitOptions back = LoadSplitterSettings();
    EXPECT_EQ(back.seps[0].text, " . ");
    EXPECT_TRUE(back.seps[0].before);
    EXPECT_EQ(back.seps[1].text, "x");
    EXPECT_FALSE(back.seps[1].before);
    EXPECT_EQ(back.seps[2].text, "");
}
