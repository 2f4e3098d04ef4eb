#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"
#include "tagging/TabReplace.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QTemporaryDir>

namespace {

QStringList Replaced(const QString& line, const QString& find, const QString& with, const TReplaceOptions& o)
{
    const TTextReplacer r(find, with, o);
    EXPECT_TRUE(r.valid()) << r.error().toStdString();
    QStringList out;
    for (const TTextMatch& m : r.Matches(line))
        out << TTextReplacer::Apply(line, {m});
    return out;
}

// A one-tab job: article 1 with two matches on two lines, article 2 without, article 3 with one.
void WriteJob(const QString& dir)
{
    WriteBytes(dir + "/vuxinfo.ini", EncodeCp949("[VUX]\r\npNAME=p\r\n[TABS]\r\n본문=src\r\n[TABSID]\r\n본문=101\r\n"));
    WriteBytes(dir + "/본문.idx", Utf16File({"1", "1", "하나", "2", "1", "둘", "3", "1", "셋"}));
    WriteBytes(dir + "/work_본문/0001/1.txt", Utf16File({"<h1>하나</h1>", "섬 가는 배.", "섬은 멀다. 섬"}));
    WriteBytes(dir + "/work_본문/0002/2.txt", Utf16File({"<h1>둘</h1>", "바다"}));
    // An old ANSI article: the save writes it back as UTF-16LE with byte-order mark.
    WriteBytes(dir + "/work_본문/0003/3.txt", EncodeCp949("<h1>셋</h1>\r\n<img src=\"섬.jpg\">섬\r\n"));
}

QMap<QString, QByteArray> Snapshot(const QString& dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        files.insert(f, ReadBytes(f));
    }
    return files;
}

} // namespace

TEST(TabReplace, MatchRules)
{
    TReplaceOptions plain, cased, word, regex, textOnly, regexWord;
    cased.matchCase = true;
    word.wholeWord = true;
    regex.regex = true;
    textOnly.textOnly = true;
    regexWord.regex = regexWord.wholeWord = true;
    struct Case {
        const char* what;
        QString line, find, with;
        TReplaceOptions options;
        QStringList expected;
    } cases[] = {
        {"plain ignores case", "Abc abc", "abc", "x", plain, {"x abc", "Abc x"}},
        {"match case", "Abc abc", "abc", "x", cased, {"Abc x"}},
        {"whole word in Korean: a particle makes another word", "섬 섬은 물새섬 섬", "섬", "島", word, {"島 섬은 물새섬 섬", "섬 섬은 물새섬 島"}},
        {"regular expression groups", "3월 1일", "(\\d+)월 (\\d+)일", "\\2일 \\1월", regex, {"1일 3월"}},
        {"group 0 and an escaped backslash", "ab", "b", "[\\0\\\\]", regex, {"a[b\\]"}},
        {"text only leaves tag names and attributes", "<img src=\"img/a.jpg\">img a", "img", "그림", textOnly, {"<img src=\"img/a.jpg\">그림 a"}},
        {"text only: a match across a tag is left", "a<b>c", "a<b", "x", textOnly, {}},
        {"regex and whole word", "cat cats", "cats?", "dog", regexWord, {"dog cats", "cat dog"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Replaced(c.line, c.find, c.with, c.options), c.expected);
    }
    EXPECT_FALSE(TTextReplacer("(", "x", regex).valid());
    EXPECT_FALSE(TTextReplacer("", "x", plain).valid());
}

TEST(TabReplace, ListsThenSavesEachChangedArticleOnceBehindOneBackup)
{
    QTemporaryDir dir;
    WriteJob(dir.path());
    TJobDefine job;
    job.WorkFolder = dir.path();
    LoadJobFile(job);
    RecordingInteraction ui;
    TArticleTree tree;
    ASSERT_TRUE(LoadArticleTree(job, 0, tree, ui));
    TReplaceOptions word;
    word.wholeWord = true;
    const TTextReplacer r("섬", "島", word);
    TReplaceScan scan = FindReplaceMatches(job, 0, tree, r, ui);
    ASSERT_EQ(scan.matches.size(), 4); // "섬은" is another word; "섬.jpg" in the tag is one
    EXPECT_EQ(scan.articles, 3);
    EXPECT_EQ(scan.matches[1].articleId, "1");
    EXPECT_EQ(scan.matches[1].line, 2);
    EXPECT_EQ(scan.matches[1].after, "섬은 멀다. 島");
    EXPECT_EQ(scan.matches[2].title, "셋");

    // One article alone.
    EXPECT_EQ(FindReplaceMatches(job, 0, tree, r, ui, 3).matches.size(), 2);

    // Article 3 changes on disk after the list was made: it is left as it is now.
    WriteBytes(dir.filePath("work_본문/0003/3.txt"), Utf16File({"<h1>셋</h1>", "고친 줄 섬"}));
    const TReplaceOutcome done = ApplyReplaceMatches(job, 0, tree, scan.matches, ui);
    EXPECT_EQ(done.articlesChanged, 1);
    EXPECT_EQ(done.matchesReplaced, 2);
    ASSERT_EQ(done.errors.size(), 1);
    EXPECT_TRUE(done.errors[0].startsWith("3.txt")) << done.errors[0].toStdString();
    EXPECT_EQ(ReadBytes(dir.filePath("work_본문/0001/1.txt")), Utf16File({"<h1>하나</h1>", "島 가는 배.", "섬은 멀다. 島"}));
    EXPECT_TRUE(QFile::exists(dir.filePath("work_본문/0001/1.txt.001.bak")));
    EXPECT_FALSE(QFile::exists(dir.filePath("work_본문/0001/1.txt.002.bak")));
    EXPECT_EQ(ReadBytes(dir.filePath("work_본문/0003/3.txt")), Utf16File({"<h1>셋</h1>", "고친 줄 섬"}));
    EXPECT_FALSE(QFile::exists(dir.filePath("work_본문/0003/3.txt.001.bak")));
}

TEST(TabReplace, CommandListsDryRunWritesNothingAndNoMatchFails)
{
    QTemporaryDir dir;
    WriteJob(dir.path());
    const auto before = Snapshot(dir.path());
    CmdResult r = Quilo({"replace", dir.path(), "--tab", "본문", "--word", "--dry-run", "섬", "島"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "1\t2\t섬 가는 배.\t島 가는 배.\n"
                     "1\t3\t섬은 멀다. 섬\t섬은 멀다. 島\n"
                     "3\t2\t<img src=\"섬.jpg\">섬\t<img src=\"島.jpg\">섬\n"
                     "3\t2\t<img src=\"섬.jpg\">섬\t<img src=\"섬.jpg\">島\n");
    EXPECT_EQ(Snapshot(dir.path()), before);

    r = Quilo({"replace", dir.path(), "--tab", "본문", "--text-only", "섬", "島"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count('\n'), 4);
    EXPECT_EQ(ReadBytes(dir.filePath("work_본문/0003/3.txt")), Utf16File({"<h1>셋</h1>", "<img src=\"섬.jpg\">島"}));
    EXPECT_TRUE(QFile::exists(dir.filePath("work_본문/0003/3.txt.001.bak")));
    EXPECT_TRUE(r.err.contains("기사 2개에서 4곳을 바꾸었습니다.")) << r.err.toStdString();

    r = Quilo({"replace", dir.path(), "--tab", "본문", "없는말", "x"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(Quilo({"replace", dir.path(), "--tab", "본문", "--regex", "(", "x"}).exit, 2);
    EXPECT_EQ(Quilo({"replace", dir.path(), "섬", "x"}).exit, 2);
}

TEST(SpellCommand, ListsUnknownWordsAndSummary)
{
    QTemporaryDir dir;
    WriteJob(dir.path());
    WriteBytes(dir.filePath("work_본문/0002/2.txt"), Utf16File({"<h1>둘</h1>", "학꾜 학교 학꾜 <b>밬</b>"}));
    CmdResult r = Quilo({"spell", dir.path(), "--tab", "본문"});
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("본문\t2\t2\t학꾜\t학교\n")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("\tb\t"));

    r = Quilo({"spell", dir.path(), "--summary"});
    EXPECT_EQ(r.exit, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], "학꾜\t2") << r.out.toStdString();

    WriteBytes(DataFolder() + "/spell_words.txt", QString("학꾜\n").toUtf8());
    r = Quilo({"spell", dir.path(), "--summary"});
    EXPECT_FALSE(r.out.contains("학꾜")) << r.out.toStdString();
    QFile::remove(DataFolder() + "/spell_words.txt");
}
