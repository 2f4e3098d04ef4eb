// Reading a result sheet back into a result grid: continuation rows and empty columns; the
// image sheet's column limit when writing.

#include "indexing/WorkbookResults.h"
#include "common/TestSupport.h"
#include "server/VUX_codes.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <ostream>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

TEST(WorkbookResults, ContinuationRowsMergeIntoTheArticleAbove)
{
    const struct {
        const char* what;
        TSheetRows used;
        TSheetRows merged;
    } cases[] = {
        {"three pictures, two descriptions: the third description is an empty item",
         {{"헤더", "설명", "파일명"}, {"가", "등대", "a.jpg"}, {"", "염전", "b.jpg"}, {"", "", "c.jpg"}, {"나", "", ""}},
         {{"헤더", "설명", "파일명"}, {"가", "등대^염전^", "a.jpg^b.jpg^c.jpg"}, {"나", "", ""}}},
        {"a blank row continues the row above",
         {{"헤더", "값"}, {"가", "1"}, {"", ""}},
         {{"헤더", "값"}, {"가", "1^"}}},
        {"the header row is never continued",
         {{"헤더", "값"}, {"", "고아"}, {"", "둘"}},
         {{"헤더", "값"}, {"", "고아^둘"}}},
        {"short rows are padded",
         {{"헤더", "값", "둘"}, {"가"}},
         {{"헤더", "값", "둘"}, {"가", "", ""}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MergeContinuationRows(c.used), c.merged) << c.what;
}

TEST(WorkbookResults, EmptyColumnsGoAndTheOthersMoveLeft)
{
    bool hasData = true;
    EXPECT_EQ(RemoveEmptyColumns({{"헤더", "빈", "값", "꺾쇠만"}, {"가", "", "^", "^^"}, {"나", "", "1^", "^"}}, &hasData),
              (TSheetRows{{"헤더", "값"}, {"가", ""}, {"나", "1^"}}))
        << "cells of only ^ above the first real value are emptied, later ones stay";
    EXPECT_TRUE(hasData);

    EXPECT_EQ(RemoveEmptyColumns({{"헤더", "이름"}, {"가", "^"}, {"나", ""}}, &hasData), (TSheetRows{{"헤더"}, {"가"}, {"나"}}));
    EXPECT_FALSE(hasData) << "a sheet without data columns shows as a grey page";
    EXPECT_EQ(RemoveEmptyColumns({}, &hasData), TSheetRows{});
    EXPECT_FALSE(hasData);
}

TEST(WorkbookResults, ImageColumnLimitHoldsOnlyForATabWithReferenceStrings)
{
    // An image group of 101 data columns, one article.
    QStringList rows{"ks_coremeta\tks_coremeta\t기본메타\tmt_title\t제목\tx\tN\t1"};
    for (int j = 0; j <= MaxImageDataColumns; ++j)
        rows << QString("ks_MetaTypeDetail\tks_MetaTypeDetail\t이미지\tkf_%1\t그림 %1\tx\tN\t1").arg(j);
    TVUX_codes codes;
    codes.BuildColumns(rows);
    TArticleTree tree;
    tree.addChild(tree.addRoot("본문"), "기사 1", {});
    TKeywordResults results;
    results.Reset(1, codes.vux_DataBlockLength);
    QTemporaryDir dir;
    for (bool hasReferences : {false, true}) {
        RecordingInteraction ui;
        const QString path = dir.filePath(QString("색인_%1.xls").arg(hasReferences));
        const TWorkbookWrite written =
            WriteKeywordWorkbook(path, tree, codes, results, hasReferences, ui, [] { return false; });
        EXPECT_EQ(written, hasReferences ? TWorkbookWrite::TooManyImageColumns : TWorkbookWrite::Saved);
        EXPECT_EQ(ui.infos, hasReferences ? QStringList{MsgImageColumns} : QStringList());
        EXPECT_EQ(QFileInfo::exists(path), !hasReferences);
    }
}
