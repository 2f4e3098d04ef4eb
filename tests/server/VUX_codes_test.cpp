#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/FakeServer.h"
#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

// A title line, a two-column block at the start, the subject columns, a group that comes back.
const QStringList kColumns = {
    "VUX meta columns",
    "KS_CoreMeta\tks_coremeta\t제목\tmt_title\t제목\tx\tN\t1",
    "KS_CoreMeta\tks_coremeta\t제목\tmt_title2\t부제목\tx\tN\t0",
    "KS_CoreMeta\tks_coremeta\t주제\tMT_OCODE\t주제1\tsubj\tN\t2",
    "KS_CoreMeta\tks_coremeta\t주제\tmt_sCode\t주제2\tsubj\tN\t2",
    "ks_exMetaName\tks_exMetaAddInfo\t이름\tmt_name\t인명\tx\tY\t1",
    "KS_CoreMeta\tks_coremeta\t비고\tmt_note\t비고\tx\tN",
    "ks_exMetaDate\tks_exmetadate\t날짜\tmt_from\t시작\tx\tN\t3",
    "ks_exMetaDate\tks_exmetadate\t날짜\tmt_to\t끝\tx\tN\t3",
};

const QStringList kCodes = {
    "subj\t주제 분류\t00",
    "subj\t문학\t10",
    "subj\t역사\t20\textra",
    "short\tline",
    "empty\t빈 그룹\t00",
    "Subj\t대문자\t00",
    "Subj\t다른\t10",
};

class CodesTest : public ::testing::Test {
protected:
    TVUX_codes codes;
    RecordingInteraction ui;
    void SetUp() override
    {
        codes.BuildColumns(kColumns);
        codes.BuildCodes(kCodes);
    }
};

TEST_F(CodesTest, ColumnsAndGroups)
{
    EXPECT_EQ(codes.vux_DataBlockLength, 8);
    ASSERT_EQ(codes.vux_GroupCount, 4);
    const int expected[][2] = {{0, 4}, {4, 1}, {5, 1}, {6, 2}};
    for (int g = 0; g < 4; ++g) {
        EXPECT_EQ(codes.vux_Groups[g].First, expected[g][0]) << g;
        EXPECT_EQ(codes.vux_Groups[g].Count, expected[g][1]) << g;
    }
    const TVuxColumn& c = codes.vux_Columns[2];
    EXPECT_EQ(c.GroupCode, QString("ks_coremeta"));
    EXPECT_EQ(c.ColumnCode, QString("mt_ocode"));
    EXPECT_EQ(c.GroupName, QString("주제"));
    EXPECT_EQ(c.CodeGroup, QString("subj"));
    EXPECT_EQ(codes.vux_Columns[3].ColumnCode, QString("mt_scode"));
    EXPECT_EQ(codes.vux_Columns[4].TableCode, QString("ks_exmetaaddinfo"));
    // Seven fields: still a column, with no input kind.
    EXPECT_EQ(codes.vux_Columns[5].ColumnCode, QString("mt_note"));
    EXPECT_EQ(codes.vux_Columns[5].InputType, QString());
}

TEST_F(CodesTest, EmptyFieldShiftsTheRestLeft)
{
    TVUX_codes c;
    // The column code is missing: the name moves into its place, and so on.
    c.BuildColumns({"g\tt\t이름\t\t열\tx\tN\t1"});
    ASSERT_EQ(c.vux_DataBlockLength, 1);
    EXPECT_EQ(c.vux_Columns[0].ColumnCode, QString("열"));
    EXPECT_EQ(c.vux_Columns[0].ColumnName, QString("x"));
    EXPECT_EQ(c.vux_Columns[0].MultipleYN, QString("1"));
    EXPECT_EQ(c.vux_Columns[0].InputType, QString());
}

TEST_F(CodesTest, ColumnLookups)
{
    int loc, ptr, count;
    EXPECT_TRUE(codes.GetGroupInfo("KS_COREMETA", loc, ptr, count));
    EXPECT_EQ(loc, 0);
    EXPECT_EQ(ptr, 0);
    EXPECT_EQ(count, 4); // the second run of the same code is never found
    EXPECT_FALSE(codes.GetGroupInfo("nothing", loc, ptr, count));
    EXPECT_EQ(loc, -1);
    EXPECT_EQ(ptr, -1);
    EXPECT_EQ(count, 0);

    EXPECT_EQ(codes.FindColumnPtr("ks_coremeta", "mt_oCode"), 2);
    EXPECT_EQ(codes.FindColumnPtr("KS_COREMETA", "MT_OCODE"), 2);
    EXPECT_EQ(codes.FindColumnPtr("ks_coremeta", "mt_note"), -1); // in the second run
    EXPECT_EQ(codes.FindColumnPtr("ks_exmetadate", "mt_to"), 7);
    EXPECT_EQ(codes.FindColumnPtr("nothing", "mt_to"), -1);

    QString name;
    EXPECT_TRUE(codes.GetColumnNameByCode("ks_exMetaDate", "MT_FROM", name));
    EXPECT_EQ(name, QString("날짜 > 시작"));
    EXPECT_FALSE(codes.GetColumnNameByCode("KS_X", "MT_Y", name));
    EXPECT_EQ(name, QString("알수없음(ks_x^mt_y)"));

    EXPECT_EQ(codes.GetGroupName(1), QString("이름"));
    EXPECT_EQ(codes.GetGroupName(-1), QString("잘못된이름"));
    EXPECT_EQ(codes.GetGroupName(4), QString("잘못된이름"));
    EXPECT_EQ(codes.GetGroupPtrByName("날짜"), 3);
    EXPECT_EQ(codes.GetGroupPtrByName("주제"), -1); // not the title of a group's first column
    EXPECT_EQ(codes.FindColumnByName(0, "주제2"), 3);
    EXPECT_EQ(codes.FindColumnByName(0, "시작"), -1);
    EXPECT_EQ(codes.FindColumnByCode(3, "MT_TO"), 7);
    EXPECT_EQ(codes.FindColumnByCode(3, "mt_title"), -1);
    EXPECT_EQ(codes.FindColumnByCode(99, "mt_to"), -1);
}

TEST_F(CodesTest, MultiColumnBlocks)
{
    struct Case {
        int cPtr;
        QString name;
        int from;
        int count;
    } cases[] = {
        {0, "제목", 0, 2}, {1, "제목", 0, 2}, {3, "주제", 2, 2}, {4, "이름", 4, 1},
        {7, "날짜", 6, 2}, {6, "날짜", 6, 2}, {8, "", 8, 0}, {-1, "", -1, 0},
    };
    for (const Case& c : cases) {
        QString name;
        int from = -5, count = -5;
        EXPECT_TRUE(codes.GetMultiColumnInfo(c.cPtr, name, from, count));
        EXPECT_EQ(name, c.name) << c.cPtr;
        EXPECT_EQ(from, c.from) << c.cPtr;
        EXPECT_EQ(count, c.count) << c.cPtr;
    }
}

TEST_F(CodesTest, CodeLookups)
{
    EXPECT_EQ(codes.vux_CodeCount, 6);
    EXPECT_EQ(codes.vux_CodeDefCount, 3);
    EXPECT_EQ(codes.FindCodePointer("subj"), 0);
    EXPECT_EQ(codes.FindCodePointer("Subj"), 2);
    EXPECT_EQ(codes.FindCodePointer("SUBJ"), -1);

    struct Case {
        QString group, key, name, value;
    } cases[] = {
        {"subj", "10", "문학", "BAD"},
        {"subj", "문학", "미정의코드", "10"},
        {"subj", "20", "역사", "BAD"},
        {"subj", "00", "미정의코드", "BAD"},         // the header row is never matched
        {"subj", "주제 분류", "미정의코드", "BAD"},
        {"empty", "00", "미정의코드", "BAD"},        // only a header row
        {"Subj", "10", "다른", "BAD"},
        {"nothing", "10", "미정의코드", "BAD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(codes.FindCodeName(c.group, c.key), c.name) << c.group.toStdString() << c.key.toStdString();
        EXPECT_EQ(codes.FindCodeValue(c.group, c.key), c.value) << c.group.toStdString() << c.key.toStdString();
    }
}

TEST(CodesFiles, CreateAndMakeCodeData)
{
    QTemporaryDir dir;
    RecordingInteraction ui;
    TVUX_codes codes;

    // Column file in code page 949 without byte-order mark, as the server keeps it.
    const QString metaFile = dir.filePath("VuxMetaInfo.txt");
    WriteBytes(metaFile, EncodeCp949(kColumns.join("\r\n")));
    ASSERT_TRUE(codes.Create(ui, {}, metaFile));
    EXPECT_EQ(codes.vux_DataBlockLength, 8);
    EXPECT_EQ(codes.vux_SubjPtr1, 2);
    EXPECT_EQ(codes.vux_SubjPtr2, 3);
    EXPECT_EQ(codes.vux_CodeCount, 0);

    const QString codeFile = dir.filePath("codetable.txt");
    EXPECT_FALSE(codes.MakeCodeData(ui, codeFile));
    EXPECT_EQ(ui.infos, QStringList{MsgCodeTableMissing});
    EXPECT_EQ(codes.vux_CodeCount, 0);
    WriteBytes(codeFile, Utf16File(kCodes));
    EXPECT_TRUE(codes.MakeCodeData(ui, codeFile));
    EXPECT_EQ(codes.FindCodeName("subj", "20"), QString("역사"));

    // Missing column file: the fetch is tried, then the table error.
    TVUX_codes missing;
    int fetched = 0;
    ui.infos.clear();
    EXPECT_FALSE(missing.Create(ui, [&] { ++fetched; }, dir.filePath("none.txt")));
    EXPECT_EQ(fetched, 1);
    EXPECT_TRUE(missing.Failed());
    EXPECT_EQ(ui.infos, QStringList{"테이블[" + dir.filePath("none.txt")
                                    + "] 오류로 프로그램을 종료합니다.\r\n[VuxMetaInfo.txt] 파일을 찾을 수 없습니다."});
    EXPECT_EQ(missing.vux_DataBlockLength, 0);
}

TEST(CodesFiles, FetchMetaInfoSizeCheck)
{
    FakeServer server;
    THttpClient client;
    client.SetBaseURL(server.BaseURL());
    QTemporaryDir dir;
    const QString file = dir.filePath("VuxMetaInfo.txt");
    const QByteArray big = EncodeCp949(QStringList(kColumns).join("\r\n").repeated(100));
    ASSERT_GE(big.size(), 10000);

    struct Case {
        const char* name;
        FakeReply reply;
        bool ok;
        QStringList messages;
        bool written;
    };
    FakeReply cut = FakeReply::Text(big, "text/plain");
    cut.mode = FakeReply::CutBody;
    FakeReply notFound = FakeReply::Text("no such file");
    notFound.status = 404;
    const Case cases[] = {
        {"whole file", FakeReply::Text(big, "text/plain"), true, {}, true},
        {"small file", FakeReply::Text("tiny", "text/plain"), false, {MsgMetaInfoNotOnServer, MsgMetaInfoNotFetched},
         true},
        {"404", notFound, false, {MsgMetaInfoNotOnServer, MsgMetaInfoNotFetched}, false},
        {"cut", cut, false, {MsgMetaInfoNotFetched}, false},
    };
    for (const Case& c : cases) {
        QFile::remove(file);
        server.Clear();
        server.On(MetaInfoPath.toLatin1(), c.reply);
        RecordingInteraction ui;
        EXPECT_EQ(FetchMetaInfo(client, file, ui), c.ok) << c.name;
        EXPECT_EQ(ui.infos, c.messages) << c.name;
        EXPECT_EQ(QFile::exists(file), c.written) << c.name;
    }
}

TEST(CodesFiles, EnsureCodeTableForTheSession)
{
    RecordingInteraction ui;
    QFile::remove(DataFolder() + "/VuxMetaInfo.txt");
    QFile::remove(CodeTableFileName());
    myLIB.VUX_codes_Created = false;

    // Nothing to fetch: the table error, and the next need tries again.
    EXPECT_FALSE(EnsureCodeTable(ui, [] {}));
    EXPECT_FALSE(myLIB.VUX_codes_Created);
    EXPECT_EQ(SessionCodes(), nullptr);

    ui.infos.clear();
    auto fetch = [] { WriteBytes(DataFolder() + "/VuxMetaInfo.txt", Utf16File(kColumns)); };
    EXPECT_FALSE(EnsureCodeTable(ui, fetch));
    EXPECT_TRUE(myLIB.VUX_codes_Created);
    EXPECT_EQ(ui.infos, QStringList{MsgCodeTableMissing});
    ASSERT_NE(SessionCodes(), nullptr);

    WriteBytes(CodeTableFileName(), Utf16File(kCodes));
    EXPECT_TRUE(EnsureCodeTable(ui, fetch));
    EXPECT_EQ(SessionCodes()->vux_CodeCount, 6);
    // Loaded once: a rewritten code table is not read again in this run.
    WriteBytes(CodeTableFileName(), Utf16File({"x\ty\tz"}));
    EXPECT_TRUE(EnsureCodeTable(ui, fetch));
    EXPECT_EQ(SessionCodes()->vux_CodeCount, 6);
}

} // namespace
