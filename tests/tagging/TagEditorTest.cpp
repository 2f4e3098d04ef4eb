#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "shell/TextFile.h"
#include "tagging/TagEditor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

QString Count(qint64 n, const QString& name)
{
    return name + '\t' + QStringLiteral("%1").arg(FormatTagCount(n), 10) + '\t';
}

class ProgressRecorder : public RecordingInteraction {
public:
    QList<QPair<qint64, qint64>> steps;
    void Progress(int bar, qint64 position, qint64 maximum) override
    {
        if (bar == 0)
            steps.append({position, maximum});
    }
};

} // namespace

TEST(TagEditorCount, CountingRuleAndListLines)
{
    struct Case {
        const char* what;
        QStringList lines;
        QStringList expected;
    } cases[] = {
        {"a closing tag ends the scan of its line", {"<P>하나</P><B>굵게</B>"}, {Count(1, "P")}},
        {"attributes are cut off, names fold to upper case", {"<TABLE border=1>", "<table>"}, {Count(2, "TABLE")}},
        {"an unclosed tag at the end of a line counts", {"그림 <img src=\"a.jpg\" width=\"3\""}, {Count(1, "IMG")}},
        {"every opening tag before the first closing one",
         {"<p><b>굵게<i>기울임</b><u>밑줄", "<Br>", "<BR>"},
         {Count(1, "B"), Count(2, "BR"), Count(1, "I"), Count(1, "P")}},
        {"lines without tags and empty lines", {"", "글만 있는 줄"}, {}},
        {"a stray < shows as a nameless tag", {"a < b", "<p>"}, {Count(1, ""), Count(1, "P")}},
        {"counts are grouped by thousands", QStringList(1234, "<td>"), {Count(1234, "TD")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(UsedTagListLines(CountArticleTags(c.lines)), c.expected);
    }
    EXPECT_EQ(Count(1234, "TD"), "TD\t     1,234\t");
}

TEST(TagEditorCount, ProgressGoesToEachLineBeforeItIsScanned)
{
    ProgressRecorder ui;
    CountArticleTags({"<p>", "", "<b>"}, &ui);
    const QList<QPair<qint64, qint64>> expected{{0, 2}, {1, 2}, {2, 2}};
    EXPECT_EQ(ui.steps, expected);
}

TEST(TagEditorFind, DirectionsCaseAndWholeWord)
{
    //                   0    5    10   15   20
    const QString text = "abc Abc abcd xabc 기사 기사를";
    struct Case {
        const char* what;
        QString find;
        qsizetype selStart, selEnd;
        TFindOptions options;
        qsizetype expected;
    } cases[] = {
        {"down from the caret at the start", "abc", 0, 0, {}, 0},
        {"down starts after the selection", "abc", 0, 3, {}, 4},
        {"down, match case", "abc", 1, 1, {true, false, true}, 8},
        {"down, whole word", "abc", 1, 1, {false, true, true}, 4},
        {"down, whole word and case: none left", "abc", 1, 1, {true, true, true}, -1},
        {"down past the last match", "abc", 17, 17, {}, -1},
        {"up from a caret between two matches takes the earlier", "abc", 8, 8, {false, false, false}, 4},
        {"up takes a match that begins before the selection", "abc", 5, 9, {false, false, false}, 4},
        {"up, match case skips the capital", "abc", 8, 8, {true, false, false}, 0},
        {"up from the start finds nothing", "abc", 0, 0, {false, false, false}, -1},
        {"whole word with Korean endings", "기사", 19, 19, {false, true, true}, -1},
        {"whole word with Korean, upwards", "기사", 25, 25, {false, true, false}, 18},
        {"nothing to look for", "", 0, 0, {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FindInText(text, c.find, c.selStart, c.selEnd, c.options), c.expected);
    }
}

TEST(TagEditorFind, NoMoreMatchesAsksToStartOver)
{
    const QString text = "one two one";
    const QString again = "더이상 없습니다. 처음부터 다시 찾을까요?";
    const QString none = "찾는 문자열이 없습니다.";
    struct Case {
        const char* what;
        QString find;
        qsizetype selStart, selEnd;
        bool down;
        std::deque<bool> answers;
        qsizetype start;
        bool close;
        QStringList questions, infos;
    } cases[] = {
        {"a match needs no question", "one", 0, 3, true, {}, 8, false, {}, {}},
        {"No closes the dialog", "one", 8, 11, true, {false}, -1, true, {again}, {}},
        {"Yes downwards takes the first match", "one", 8, 11, true, {true}, 0, false, {again}, {}},
        {"Yes upwards takes the last match", "one", 0, 3, false, {true}, 8, false, {again}, {}},
        {"absent text: both messages, dialog closes", "six", 0, 0, true, {true}, -1, true, {again}, {none}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingInteraction ui;
        ui.answers = c.answers;
        TFindOptions options;
        options.down = c.down;
        const TFindOutcome out = FindNextInText(text, c.find, c.selStart, c.selEnd, options, ui);
        EXPECT_EQ(out.start, c.start);
        EXPECT_EQ(out.closeDialog, c.close);
        EXPECT_EQ(ui.questions, c.questions);
        EXPECT_EQ(ui.infos, c.infos);
        if (out.start >= 0) {
            EXPECT_EQ(out.length, c.find.size());
        }
    }
}

TEST(TagEditorSave, NumberedBackupsAndUtf16File)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("work_A/0003/3_2.txt");
    const QByteArray ansi = EncodeCp949("<p>가나</p>\r\n둘째 줄\r\n");
    ASSERT_TRUE(WriteBytes(path, ansi));

    TArticleSave first = SaveArticleWithBackup(path, {"<p>가나다</p>", "둘째 줄"});
    EXPECT_TRUE(first.written);
    EXPECT_EQ(first.backup, path + ".001.bak");
    EXPECT_EQ(ReadBytes(path + ".001.bak"), ansi);
    const QByteArray saved = ReadBytes(path);
    EXPECT_EQ(saved, Utf16File({"<p>가나다</p>", "둘째 줄"}));
    EXPECT_TRUE(saved.startsWith("\xFF\xFE"));
    EXPECT_TRUE(saved.endsWith(QByteArray("\r\0\n\0", 4)));

    TArticleSave second = SaveArticleWithBackup(path, {"셋"});
    EXPECT_EQ(second.backup, path + ".002.bak");
    EXPECT_EQ(ReadBytes(path + ".002.bak"), saved);
    EXPECT_EQ(ReadBytes(path + ".001.bak"), ansi);
    EXPECT_EQ(ReadBytes(path), Utf16File({"셋"}));

    // An article of the flat layout gets its group folder on the first save.
    const QString fresh = dir.filePath("work_A/0004/4.txt");
    TArticleSave created = SaveArticleWithBackup(fresh, {"넷"});
    EXPECT_TRUE(created.written);
    EXPECT_TRUE(created.backup.isEmpty());
    EXPECT_EQ(ReadBytes(fresh), Utf16File({"넷"}));
}

TEST(TagEditorSave, FailedWriteLeavesTheLastSavedFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("0001/1.txt");
    const QByteArray before = Utf16File({"<p>원래</p>"});
    ASSERT_TRUE(WriteBytes(path, before));
    ASSERT_TRUE(WriteBytes(path + ".001.bak", "older"));

    TArticleSave r = SaveArticleWithBackup(path, {"새 글"}, [](const QString&, const QStringList&, QString* error) {
        *error = "디스크가 가득 찼습니다";
        return false;
    });
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.error, "디스크가 가득 찼습니다");
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_FALSE(QFileInfo::exists(path + ".002.bak"));
    EXPECT_EQ(ReadBytes(path + ".001.bak"), "older");
}

// Found by killing saves: the article used to be renamed away before the new text was written,
// so a crash in between left no article under its name.
TEST(TagEditorSave, ArticleKeepsItsNameWhileTheNewTextIsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("0001/1.txt");
    const QByteArray before = Utf16File({"<p>원래</p>"});
    ASSERT_TRUE(WriteBytes(path, before));
    QByteArray seenDuringWrite;
    TArticleSave r = SaveArticleWithBackup(path, {"새 글"}, [&](const QString& p, const QStringList& lines, QString* error) {
        seenDuringWrite = ReadBytes(p);
        return WriteTextLines(p, lines, TextEncoding::Utf16LE, error);
    });
    EXPECT_TRUE(r.written);
    EXPECT_EQ(seenDuringWrite, before);
    EXPECT_EQ(ReadBytes(path + ".001.bak"), before);
    EXPECT_EQ(ReadBytes(path), Utf16File({"새 글"}));
}

TEST(TagEditorSave, EditorTextKeepsEveryCharacter)
{
    // Paragraph ends and line separators (Shift+Enter) of the document are line breaks;
    // no-break and full-width spaces stay.
    EXPECT_EQ(EditorTextLines(QString("a") + QChar::ParagraphSeparator + "\u3000b\nc\u00a0d" + QChar::LineSeparator
                              + "e"),
              QStringList({"a", "\u3000b", "c\u00a0d", "e"}));
    EXPECT_EQ(EditorTextLines("a\n"), QStringList({"a", ""}));
}

TEST(TagEditorTab, MessagesPathsAndCount)
{
    QTemporaryDir dir;
    TJobDefine job;
    job.WorkFolder = dir.path();
    job.pNAME = "시험";
    job.TabsCount = 2;
    job.TabsName[0] = "본문";
    job.TabsFile[0] = "src";
    job.TabsName[1] = "번역";

    RecordingInteraction ui;
    TArticleTree tree;
    EXPECT_FALSE(LoadTagTab(job, 1, tree, ui));
    EXPECT_EQ(ui.infos, QStringList("지정 탭[번역]의 Source 폴더가 지정되지 않았습니다.\r\n"
                                    "'작업정의 > 작업 정보 변경' 메뉴에서 Source 폴더를 지정하세요."));
    EXPECT_EQ(TabFolderText(job, 0), dir.path() + "/src");

    WriteBytes(dir.filePath("본문.idx"), Utf16File({"1", "1", "하나", "3_2", "2", "둘"}));
    ASSERT_TRUE(LoadTagTab(job, 0, tree, ui));
    ASSERT_EQ(tree.count(), 3);
    EXPECT_EQ(TagArticlePath(job, 0, tree.node(2), ui), dir.path() + "/work_본문/0003/3_2.txt");

    // Loading finds the flat layout and reads code page 949.
    WriteBytes(dir.filePath("work_본문/3_2.txt"), EncodeCp949("<h2>둘</h2>\r\n"));
    QStringList lines;
    ASSERT_TRUE(LoadTagArticle(job, 0, tree.node(2), lines, ui));
    EXPECT_EQ(lines, QStringList("<h2>둘</h2>"));

    struct {
        int n;
        const char* text;
    } counts[] = {{0, "기사 개수 : 0"}, {999, "기사 개수 : 999"}, {1234, "기사 개수 : 1,234"},
                  {1234567, "기사 개수 : 1,234,567"}};
    for (const auto& c : counts)
        EXPECT_EQ(ArticleCountText(c.n), QString::fromUtf8(c.text));
}

TEST(ArticleTagsCommand, ListsTheTagsOfOneFile)
{
    QTemporaryDir dir;
    const QString expected = "B\t         2\t\nP\t         2\t\nTABLE\t         1\t\n";
    // The same article in each encoding the loader reads.
    const QStringList lines{"<p>하나</p><i>빠짐</i>", "<table border=1><P>", "<b>굵게", "<B>"};
    QByteArray utf8("\xEF\xBB\xBF");
    utf8 += lines.join("\r\n").toUtf8();
    struct {
        const char* name;
        QByteArray bytes;
    } files[] = {{"utf16.txt", Utf16File(lines)}, {"ansi.txt", EncodeCp949(lines.join("\r\n"))}, {"utf8.txt", utf8}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        WriteBytes(dir.filePath(f.name), f.bytes);
        CmdResult r = Quilo({"article-tags", dir.filePath(f.name)});
        EXPECT_EQ(r.exit, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, expected);
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }

    CmdResult missing = Quilo({"article-tags", dir.filePath("없음.txt")});
    EXPECT_EQ(missing.exit, 1);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(missing.err, dir.filePath("없음.txt") + ": 지정하신 파일을 열 수 없습니다.\n");
    EXPECT_EQ(Quilo({"article-tags"}).exit, 2);
    EXPECT_EQ(Quilo({"article-tags", "a.txt", "b.txt"}).exit, 2);
}
