#include "articles/ArticleIndex.h"
#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/TextFile.h"
#include "tagging/PageInfo.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// Titles with their levels; a higher level nests below the entry before it.
TArticleTree Tree(std::initializer_list<std::pair<const char*, int>> entries)
{
    TArticleTree tree;
    tree.addRoot("본문");
    std::vector<int> last{0};
    int n = 0;
    for (const auto& [title, level] : entries) {
        last.resize(size_t(level));
        const int node = tree.addChild(last.back(), QString::fromUtf8(title), {QString::number(++n), level});
        last.push_back(node);
    }
    return tree;
}

} // namespace

TEST(PageInfo, MarkingByTitleAndContentNumbers)
{
    const TArticleTree tree = Tree({{"서문", 1}, {"제1장", 1}, {"(page 2)", 1}, {"(page 3)", 1}, {"제2장", 1}});
    const QStringList rows = PagesByTitle(tree);
    EXPECT_EQ(rows, QStringList({"Main", "Main", "Main", "page", "page", "Main"}));
    EXPECT_EQ(ContentNumbers(rows, tree.count()), (std::vector<int>{1, 2, 3, 3, 3, 4}));

    const TPageContents c = BuildPageContents(tree, rows);
    EXPECT_EQ(c.failedRow, -1);
    EXPECT_EQ(c.pointers, (std::vector<int>{0, 1, 2, 5}));
    EXPECT_EQ(c.parents, (std::vector<int>{-1, 0, 0, 0}));
}

TEST(PageInfo, TitlesAndNestingThatStayMain)
{
    // "(page" later in the title, a page title with sub-articles, and a nested page.
    const TArticleTree tree = Tree({{"제1장 (page 2)", 1}, {"(page 3)", 1}, {"1절", 2}, {"(page 2)", 3}, {"(Page 4)", 1}});
    const QStringList rows = PagesByTitle(tree);
    EXPECT_EQ(rows, QStringList({"Main", "Main", "Main", "Main", "page", "Main"}));

    // Nested pages leave the contents with the parents they had.
    const TPageContents c = BuildPageContents(tree, rows);
    EXPECT_EQ(c.pointers, (std::vector<int>{0, 1, 2, 3, 5}));
    EXPECT_EQ(c.parents, (std::vector<int>{-1, 0, 0, 2, 0}));

    // A page that carries articles cannot be grouped: the row is named.
    QStringList bad = rows;
    bad[2] = "page";
    EXPECT_EQ(BuildPageContents(tree, bad).failedRow, 2);
    EXPECT_EQ(PageContentsErrorMessage(tree, 3),
              "페이지 구성에 오류가 있는 것 같습니다. 기사의 (page) 나눔을 점검하십시오.\r\n오류 발생 위치 : "
              "본문 -> (page 3) -> 1절\r\n오류 발생 위치 앞에서 오류가 발생했을 수 있습니다.");
}

TEST(PageInfo, ReadingShortInvalidAnsiAndMissingFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("본문_pageinfo.txt");
    // Root, 1, 2 with children 3 and 4, then 5.
    const TArticleTree tree = Tree({{"가", 1}, {"나", 1}, {"(page)", 2}, {"라", 2}, {"마", 1}});
    struct Case {
        const char* what;
        bool file;
        QByteArray bytes;
        QStringList rows;
        bool changed;
    } cases[] = {
        {"no file", false, {}, {"Main", "Main", "Main", "Main", "Main", "Main"}, false},
        {"exact file", true, Utf16File({"Main", "Main", "Main", "page", "Main", "page"}),
         {"Main", "Main", "Main", "page", "Main", "page"}, false},
        {"3 lines for 6 nodes", true, Utf16File({"Main", "page", "Main"}),
         {"Main", "page", "Main", "Main", "Main", "Main"}, true},
        {"values neither Main nor page, case-sensitive", true, Utf16File({"Main", "PAGE", " page", "page", "x", "Main"}),
         {"Main", "Main", "Main", "page", "Main", "Main"}, true},
        {"a page with sub-articles reads as Main, the root keeps its value; nothing to save", true,
         Utf16File({"page", "Main", "page", "Main", "Main", "Main"}), {"page", "Main", "Main", "Main", "Main", "Main"},
         false},
        {"code page 949, extra lines ignored", true, EncodeCp949("Main\r\nMain\r\nMain\r\npage\r\nMain\r\nMain\r\n추가\r\n"),
         {"Main", "Main", "Main", "page", "Main", "Main"}, false},
        {"empty file", true, QByteArray(), {"Main", "Main", "Main", "Main", "Main", "Main"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        if (c.file) {
            ASSERT_TRUE(WriteBytes(path, c.bytes));
        }
        QStringList rows;
        const TPageInfoRead read = ReadPageInfo(path, tree, rows);
        EXPECT_TRUE(read.ok);
        EXPECT_EQ(read.exists, c.file);
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(read.changed, c.changed);
    }
}

TEST(PageInfo, UploadNumbersReadTheFileAsTheWindowDoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a_pageinfo.txt");
    const TArticleTree flat = Tree({{"가", 1}, {"나", 1}, {"다", 1}, {"라", 1}});
    std::vector<int> numbers;
    ASSERT_TRUE(LoadContentNumbers(path, flat, numbers));
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5})) << "without a file node i has number i + 1";

    ASSERT_TRUE(WriteBytes(path, Utf16File({"Main", "Main", "page", "Main", "Main"})));
    ASSERT_TRUE(LoadContentNumbers(path, flat, numbers));
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 2, 3, 4}));

    // Short file and a stray value: both count as Main.
    ASSERT_TRUE(WriteBytes(path, Utf16File({"Main", "page", "Page"})));
    ASSERT_TRUE(LoadContentNumbers(path, flat, numbers));
    EXPECT_EQ(numbers, (std::vector<int>{1, 1, 2, 3, 4}));

    // A page root counts as a page; a node with sub-articles is Main whatever its line says.
    const TArticleTree nested = Tree({{"가", 1}, {"나", 1}, {"나-1", 2}, {"다", 1}});
    ASSERT_TRUE(WriteBytes(path, Utf16File({"page", "Main", "page", "page", "Main"})));
    QStringList rows;
    ReadPageInfo(path, nested, rows);
    ASSERT_TRUE(LoadContentNumbers(path, nested, numbers));
    EXPECT_EQ(numbers, ContentNumbers(rows, nested.count()));
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2, 2, 3}));
}

TEST(PageInfo, SavedFileIsUtf16WithCrLf)
{
    QTemporaryDir dir;
    TJobDefine job;
    job.WorkFolder = dir.path();
    job.TabsCount = 1;
    job.TabsName[0] = "번역";
    const QString path = PageInfoFileName(job, 0);
    EXPECT_EQ(path, dir.path() + "/번역_pageinfo.txt");
    ASSERT_TRUE(WriteLinkFile(path, {"Main", "Main", "page"}));
    EXPECT_EQ(ReadBytes(path), Utf16File({"Main", "Main", "page"}));
}
