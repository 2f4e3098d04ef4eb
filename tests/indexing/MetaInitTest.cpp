// Building a tab's meta data from tree, category lines, workbook sheets and fixed values.

#include "common/TestSupport.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/MetaFile.h"
#include "indexing/MetaFixture.h"
#include "indexing/MetaInit.h"
#include "indexing/Workbook.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

using Sheet = QList<QStringList>;

class MetaInitTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TVUX_codes codes;
    TArticleTree tree;
    QStringList category{"1주제", "2주제", "인명", "지명", "", "x"}; // node 3 has no lines
    QStringList defaults;
    QList<TvuxSchOption> options;
    TMetaArticleContext context;
    RecordingInteraction ui;
    int block = 0;

    void SetUp() override
    {
        BuildMetaCodes(codes);
        block = codes.vux_DataBlockLength;
        tree.addRoot("본문");
        const int a = tree.addChild(0, "가", {"1", 1});
        tree.addChild(a, "가-1", {"1_1", 2});
        tree.addChild(0, "나", {"2", 1});
        options = {{"101", 5, KeywordFixed, "고정주제"}, {"101", 9, KeywordFixed, "안 나옴"},
                   {"101", 39, KeywordFixed, "남"},      {"102", 39, KeywordFixed, "여"},
                   {"101", 40, KeywordExtract, "【관련】"}};
        TJobDefine job;
        job.pCode = "DEMO";
        job.pID = "9001";
        defaults = MetaBaseDefaults(options, codes, job);
        PadCategoryLines(category, tree.count());
        context.tree = &tree;
        context.category = &category;
        context.defaults = &defaults;
        context.tabId = "101";
        context.productCode = "DEMO";
        context.productId = "9001";
        context.contentBaseUrl = "http://site";
    }

    // The base sheet rows of the articles: title in A and B, further cells from `extra`.
    static QStringList BaseRow(const QString& title, const QMap<int, QString>& extra = {})
    {
        QStringList row(39);
        row[0] = row[1] = title;
        for (auto it = extra.begin(); it != extra.end(); ++it)
            row[it.key() + 1] = it.value();
        return row;
    }

    QString Book(const Sheet& base, const Sheet& names, const Sheet& images)
    {
        const QString path = dir.filePath("색인_본문.xls");
        TWorkbookWriter w(path);
        const QList<QPair<QString, Sheet>> sheets = {
            {"기본메타", base}, {"인명", names}, {"지명", {{"헤더", "지명"}}}, {"이미지", images}};
        for (const auto& [name, rows] : sheets) {
            EXPECT_TRUE(w.AddSheet(name));
            for (int r = 0; r < rows.size(); ++r)
                EXPECT_TRUE(w.WriteRow(r + 1, rows[r]));
        }
        EXPECT_TRUE(w.Save());
        return path;
    }

    // Builds the lines whole, and once more streamed into a file: the file must hold the same
    // lines, and the messages and questions on the way must be the same.
    MetaBuild Build(const QString& path, QStringList& lines)
    {
        TWorkbookReader reader;
        QString error;
        EXPECT_TRUE(reader.Open(path, &error)) << error.toStdString();
        struct : RecordingInteraction {
            QString count; // the row counter's last text
            void Status(int panel, const QString& text) override
            {
                if (panel == 2)
                    count = text;
            }
        } streamUi;
        streamUi.stop = ui.stop;
        streamUi.answers = ui.answers;
        const qsizetype infos = ui.infos.size(), questions = ui.questions.size();
        const MetaBuild b = BuildTabMeta(codes, reader, options, context, lines, ui, &error);
        EXPECT_TRUE(b != MetaBuild::Failed) << error.toStdString();

        const QString kwd = dir.filePath("streamed.kwd");
        TMetaFileWriter out(kwd);
        const MetaBuild s = StreamTabMeta(codes, reader, options, context, out, streamUi, &error);
        EXPECT_EQ(s, b) << error.toStdString();
        EXPECT_EQ(streamUi.infos, ui.infos.mid(infos));
        EXPECT_EQ(streamUi.questions, ui.questions.mid(questions));
        if (s == MetaBuild::Done) {
            const QStringList count = streamUi.count.split(" / ");
            EXPECT_TRUE(count.size() == 2 && count[0] == count[1]) << "the counter ends at its end: " << streamUi.count.toStdString();
            EXPECT_TRUE(out.Commit(nullptr, &error)) << error.toStdString();
            TMetaData streamed(block);
            EXPECT_TRUE(ReadMetaFile(kwd, streamed));
            QStringList expected;
            for (const QString& l : lines)
                expected << MetaLineValue(l);
            EXPECT_EQ(streamed.Lines(), expected);
        }
        return b;
    }

    QString At(const QStringList& lines, int node, int column) const
    {
        return lines.value(qsizetype(node - 1) * block + column);
    }

    const QStringList header{"헤더"};
    const Sheet headerOnly{header};
};

TEST_F(MetaInitTest, AutomaticValuesSheetCellsAndFixedValues)
{
    const Sheet base = {QStringList{"헤더"}, BaseRow("가", {{1, "부제"}}), BaseRow("가-1", {{17, "시트값"}}), BaseRow("나")};
    const Sheet names = {{"헤더", "이름", "성별", "관련 인물", "관계"}, {"가", "서하린", "여"}, {"가-1"}, {"나", "", "", "갑\t을"}};
    const Sheet images = {{"헤더", "설명", "파일명"}, {"가", "d1", "f1"}, {"", "", "f2"}, {"", "d3", "f3"},
                          {"가-1"},                  {"나", "^", ""}};
    QStringList lines;
    ASSERT_EQ(Build(Book(base, names, images), lines), MetaBuild::Done);
    ASSERT_EQ(lines.size(), 3 * block);
    EXPECT_TRUE(ui.infos.isEmpty()) << ui.infos.join('|').toStdString();

    const QChar eq(0xFF1D);
    struct Case {
        int node, column;
        QString value;
    } cases[] = {
        {1, 0, "가"},
        {1, 1, "부제"},                    // a sheet cell outside the automatic positions
        {1, 5, "인명"},
        {1, 6, "지명"},
        {2, 5, "고정주제"},                // an empty category line takes the fixed base value
        {2, 6, "x"},
        {3, 5, "기타"},                    // missing category lines
        {3, 6, "기타"},
        {1, 9, ""},                        // a fixed base value off the automatic positions
        {1, 17, "101_1"},
        {2, 17, "시트값"},                 // a non-empty sheet cell replaces an automatic value
        {1, 26, "본문^가"},
        {2, 26, "본문^가^가-1"},
        {3, 27, "Parent Record"},
        {2, 30, QString("http://site/pcontent/content_view_detail_QU.asp?svcid=QU&proid=9001&arid=101&ContentNumber=3&PageNumber=2").replace('=', eq)},
        {3, 31, "101"},
        {3, 32, "4"},
        {2, 33, "DEMO"},
        {2, 34, "9001"},
        {3, 35, "3"},
        {1, 36, "1"},
        {2, 36, "0"},
        {3, 36, "0"},
        {1, 37, "1"},
        {2, 37, "2"},
        {3, 37, "1"},
        {1, 38, "서하린"},
        {1, 39, "여"},                     // the sheet cell over the fixed value
        {2, 39, "남"},                     // the fixed value where the cell is empty
        {3, 39, "남"},
        {3, 40, "갑\t을"},
        {1, 43, "d1^d3"},                  // continuation rows; an empty middle cell is skipped
        {1, 44, "f1^f2^f3"},
        {2, 43, ""},
        {3, 43, ""},                       // made only of "^": emptied
    };
    for (const Case& c : cases)
        EXPECT_EQ(At(lines, c.node, c.column), c.value) << "node " << c.node << " column " << c.column;
}

// Rows without any value inside a sheet: in the base and name sheets they are records of their
// own (fixed values included), on the image sheet they continue the article above. Rows past
// the last article of the base sheet count for nothing.
TEST_F(MetaInitTest, RowsWithoutValuesKeepTheirPlace)
{
    const QString path = dir.filePath("gaps.xls");
    {
        TWorkbookWriter w(path);
        const QList<QPair<QString, QList<QPair<int, QStringList>>>> sheets = {
            {"기본메타", {{1, header}, {2, BaseRow("가")}, {4, BaseRow("나")}}},
            {"인명", {{1, header}, {3, {"", "둘째"}}, {6, {"넷째", "밖"}}}},
            {"지명", {{1, header}}},
            {"이미지", {{1, header}, {2, {"가", "d1"}}, {4, {"", "d2"}}, {5, {"나", "d3"}}, {7, {"", "d4"}}}}};
        for (const auto& [name, rows] : sheets) {
            ASSERT_TRUE(w.AddSheet(name));
            for (const auto& [r, cells] : rows)
                ASSERT_TRUE(w.WriteRow(r, cells));
        }
        ASSERT_TRUE(w.Save());
    }
    QStringList lines;
    ASSERT_EQ(Build(path, lines), MetaBuild::Done);
    ASSERT_EQ(lines.size(), 3 * block);
    EXPECT_EQ(At(lines, 1, 0), "가");
    EXPECT_EQ(At(lines, 2, 0), "가-1"); // the empty base row is article 2
    EXPECT_EQ(At(lines, 3, 0), "나");
    EXPECT_EQ(At(lines, 1, 39), "남");   // row 2 of the name sheet is empty: the fixed value
    EXPECT_EQ(At(lines, 2, 38), "둘째");
    EXPECT_EQ(At(lines, 3, 39), "남");
    EXPECT_EQ(At(lines, 1, 43), "d1^d2");
    EXPECT_EQ(At(lines, 2, 43), "d3^d4");
}

TEST_F(MetaInitTest, MoreBaseRowsThanArticlesStopsWithBothMessages)
{
    const Sheet base = {header, BaseRow("가"), BaseRow("가-1"), BaseRow("나"), BaseRow("덤")};
    QStringList lines;
    EXPECT_EQ(Build(Book(base, headerOnly, headerOnly), lines), MetaBuild::Stopped);
    EXPECT_EQ(ui.infos, QStringList({MsgMetaIndexError(4), MsgMetaCheckCounts}));
}

TEST_F(MetaInitTest, EscAsksAndNoCarriesOn)
{
    const QString book = Book({header, BaseRow("가"), BaseRow("가-1"), BaseRow("나")}, headerOnly, headerOnly);
    QStringList lines;
    ui.stop = true;
    ui.answers = {false};
    EXPECT_EQ(Build(book, lines), MetaBuild::Done);
    EXPECT_EQ(ui.questions, QStringList({MsgMetaStopQuestion}));

    ui.stop = true;
    ui.answers = {true};
    EXPECT_EQ(Build(book, lines), MetaBuild::Stopped);
}

TEST_F(MetaInitTest, MissingSheetFailsWithReason)
{
    const QString path = dir.filePath("one.xls");
    TWorkbookWriter w(path);
    ASSERT_TRUE(w.AddSheet("기본메타"));
    ASSERT_TRUE(w.Save());
    TWorkbookReader reader;
    ASSERT_TRUE(reader.Open(path));
    QStringList lines;
    QString error;
    EXPECT_EQ(BuildTabMeta(codes, reader, options, context, lines, ui, &error), MetaBuild::Failed);
    EXPECT_FALSE(error.isEmpty());
}

TEST(MetaInitCodeTable, BaseGroupNeedsTheAutomaticPositions)
{
    TVUX_codes small, full;
    BuildMetaCodes(small, 37);
    BuildMetaCodes(full);
    EXPECT_TRUE(MetaCodeTableProblem(small).contains("37"));
    EXPECT_TRUE(MetaCodeTableProblem(full).isEmpty());
    TVUX_codes none;
    EXPECT_FALSE(MetaCodeTableProblem(none).isEmpty());
}

} // namespace
