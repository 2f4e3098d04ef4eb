#include "articles/ui/TabCombo.h"
#include "jobs/JobDefine.h"

#include <gtest/gtest.h>

#include <QComboBox>

TEST(TabCombo, SelectionByNumberOfTabs)
{
    struct Case {
        int tabs;
        QString first;
        int count;
        QString selected;
    };
    const std::vector<Case> cases = {
        {1, "=== 탭 선택 ===", 2, "본문"},
        {2, "=== 탭 선택 ===", 3, "=== 탭 선택 ==="},
        {2, "", 2, "본문"},
        {1, "", 1, "본문"},
        {0, "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tabs);
        TJobDefine job;
        job.TabsCount = c.tabs;
        job.TabsName[0] = "본문";
        job.TabsName[1] = "번역";
        QComboBox combo;
        combo.addItem("old");
        FillTabCombo(&combo, job, c.first);
        EXPECT_EQ(combo.count(), c.count);
        EXPECT_EQ(combo.currentText(), c.selected);
        EXPECT_GE(combo.maxVisibleItems(), c.count);
    }
}
