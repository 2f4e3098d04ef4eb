#include "common/TestSupport.h"
#include "jobs/JobLayout.h"
#include "shell/TextFile.h"
#include "tagging/TabConnect.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

TArticleTree Tree(const QString& tab, const QStringList& titles)
{
    TArticleTree tree;
    tree.addRoot(tab);
    for (int i = 0; i < titles.size(); ++i)
        tree.addChild(0, titles[i], {QString::number(i + 1), 1});
    return tree;
}

TJobDefine Job(const QStringList& names, const QStringList& links)
{
    TJobDefine job;
    job.WorkFolder = "/jobs/j";
    job.pNAME = "p";
    job.TabsCount = int(names.size());
    for (int i = 0; i < names.size(); ++i) {
        job.TabsName[size_t(i)] = names[i];
        job.TabsLink[size_t(i)] = links.value(i);
    }
    return job;
}

} // namespace

TEST(ConnectPairs, LinksNamingATabExactlyMakePairs)
{
    struct Case {
        const char* what;
        QStringList names, links;
        QList<QPair<int, int>> pairs;
        QStringList captions;
    } cases[] = {
        {"the only link names no tab", {"A", "B"}, {"", "C"}, {}, {}},
        {"B links to A", {"A", "B"}, {"", "A"}, {{1, 0}}, {"(B) - (A)"}},
        {"names are compared with their letter case", {"A", "B"}, {"", "a"}, {}, {}},
        {"two pairs in tab order", {"A", "B", "C"}, {"C", "", "A"}, {{0, 2}, {2, 0}}, {"(A) - (C)", "(C) - (A)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TJobDefine job = Job(c.names, c.links);
        QList<QPair<int, int>> pairs;
        QStringList captions;
        for (const TConnectPair& p : BuildConnectPairs(job)) {
            pairs.append({p.base, p.target});
            captions << ConnectPairCaption(job, p);
        }
        EXPECT_EQ(pairs, c.pairs);
        EXPECT_EQ(captions, c.captions);
    }
    EXPECT_EQ(ConnectFileName(Job({"A", "B"}, {"", "A"}), 1), "/jobs/j/B_connect.txt");
    EXPECT_EQ(ConnectFileName(Job({"../x"}, {}), 0), QString());
}

TEST(ConnectFile, ReadingFitsTheFileToTheBaseTree)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("본문_connect.txt");
    const QStringList dash5(5, "-");
    struct Case {
        const char* what;
        QByteArray bytes; // empty: no file
        QStringList rows;
        QList<int> unusable;
    } cases[] = {
        {"no file", {}, dash5, {}},
        {"an empty file", QByteArray("\xFF\xFE", 2), dash5, {}},
        {"a short file: the rest is not connected", Utf16File({"-", "3", "1"}), {"-", "3", "1", "-", "-"}, {}},
        {"lines beyond the tree are ignored", Utf16File({"-", "1", "2", "3", "4", "5", "6"}),
         {"-", "1", "2", "3", "4"}, {}},
        {"code page 949 without byte-order mark, LF only", QByteArray("-\n2\n-\n4\n"), {"-", "2", "-", "4", "-"}, {}},
        {"values that are neither - nor numbers read as -",
         Utf16File({"-", "abc", "-1", "", " 7 "}), {"-", "-", "-", "-", "7"}, {1, 2, 3}},
        {"zeros in front and numbers too big for a tree", Utf16File({"-", "007", "99999999999"}),
         {"-", "7", "-", "-", "-"}, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        if (!c.bytes.isEmpty()) {
            ASSERT_TRUE(WriteBytes(path, c.bytes));
        }
        const TConnectRead read = ReadConnectFile(path, 5);
        EXPECT_EQ(read.rows, c.rows);
        EXPECT_EQ(read.unusable, c.unusable);
        EXPECT_EQ(read.fileFound, !c.bytes.isEmpty());
    }
    EXPECT_EQ(UnusableConnectLinesMessage(path, {1, 2}),
              "본문_connect.txt\r\n2, 3번째 줄은 \"-\"도 번호도 아니어서 연결되지 않은 것(-)으로 읽었습니다.");
    EXPECT_EQ(UnusableConnectLinesMessage(path, {}), QString());
}

TEST(ConnectFile, ShortFileIsSavedWithOneLinePerBaseNode)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("번역_connect.txt");
    ASSERT_TRUE(WriteBytes(path, Utf16File({"-", "3", "1"})));
    TConnectRead read = ReadConnectFile(path, 5);
    read.rows[4] = "12";
    ASSERT_TRUE(WriteConnectFile(path, read.rows));
    EXPECT_EQ(ReadBytes(path), Utf16File({"-", "3", "1", "-", "12"}));
    QString error;
    EXPECT_FALSE(WriteConnectFile(QString(), read.rows, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ConnectTitles, AutomaticTakesTheLastEqualTitleSearchTheFirst)
{
    const TArticleTree base = Tree("번역", {"서문", "1장", "없는 제목", "서문 "});
    const TArticleTree target = Tree("본문", {"서문", "1장", "서문", "2장"});
    EXPECT_EQ(FindTitle(target, "서문"), 1);
    EXPECT_EQ(FindTitle(target, "본문"), 0); // the root counts too
    EXPECT_EQ(FindTitle(target, "서문 "), -1);

    QStringList rows{"-", "4", "4", "2", "1"};
    EXPECT_EQ(AutoConnect(rows, base, target), 2);
    // Earlier connections are dropped; the root's row is left alone.
    EXPECT_EQ(rows, QStringList({"-", "3", "2", "-", "-"}));
    EXPECT_EQ(ConnectedCount(rows), 2);

    QStringList rootRow{"9", "-"};
    AutoConnect(rootRow, Tree("x", {"본문"}), target);
    EXPECT_EQ(rootRow, QStringList({"9", "0"}));
    EXPECT_EQ(ConnectSavedMessage("번역"), "번역의 연결 정보가 저장되었습니다.");
}
