#include "articles/ui/ArticleTreeWidget.h"
#include "common/TestSupport.h"
#include "shell/myLIB.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

TEST(ArticleTreeWidget, FaultyIndexShowsTheEntriesBeforeTheFaultAndOneMessage)
{
    QTemporaryDir dir;
    WriteBytes(dir.filePath("vuxinfo.ini"), "[VUX]\r\n");
    myLIB.Jobs = TJobDefine{};
    myLIB.Jobs.WorkFolder = dir.path();
    myLIB.Jobs.pNAME = "p";
    myLIB.Jobs.TabsCount = 1;
    myLIB.Jobs.TabsName[0] = QStringLiteral("본문");
    WriteBytes(dir.filePath("본문.idx"), Utf16File({"1", "1", "가", "2", "2", "나", "3", "x", "다", "4", "1", "라"}));

    QStringList boxes;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->accept();
        }
    });
    closer.start(10);

    TArticleTreeWidget tree;
    EXPECT_TRUE(LoadArticleTree(&tree, 0, true));
    ASSERT_EQ(tree.articles().count(), 3);
    EXPECT_EQ(tree.articles().node(2).title, QStringLiteral("나"));
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(boxes, QStringList{QStringLiteral("index 데이터(줄번호:8) 오류입니다.")});

    // An index with nothing usable is a failed load with an empty tree.
    WriteBytes(dir.filePath("본문.idx"), Utf16File({"1"}));
    EXPECT_FALSE(LoadArticleTree(&tree, 0, true));
    EXPECT_EQ(tree.articles().count(), 0);
    EXPECT_EQ(boxes.size(), 2);
    myLIB.Jobs = TJobDefine{};
}
