#include "articles/ui/ArticleTreeWidget.h"
#include "common/DemoJob.h"
#include "common/WindowTestSupport.h"

#include <gtest/gtest.h>

TEST(ArticleTreeWidget, FaultyIndexShowsTheEntriesBeforeTheFaultAndOneMessage)
{
    DemoJob job({"본문"});
    WriteBytes(job.dir.filePath("vuxinfo.ini"), "[VUX]\r\n");
    job.WriteIndex("본문", {"1", "1", "가", "2", "2", "나", "3", "x", "다", "4", "1", "라"});
    BoxAnswerer boxes;

    TArticleTreeWidget tree;
    EXPECT_TRUE(LoadArticleTree(&tree, 0, true));
    ASSERT_EQ(tree.articles().count(), 3);
    EXPECT_EQ(tree.articles().node(2).title, QStringLiteral("나"));
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("index 데이터(줄번호:8) 오류입니다.")});

    // An index with nothing usable is a failed load with an empty tree.
    job.WriteIndex("본문", {"1"});
    EXPECT_FALSE(LoadArticleTree(&tree, 0, true));
    EXPECT_EQ(tree.articles().count(), 0);
    EXPECT_EQ(boxes.texts.size(), 2);
}
