#include "common/TestSupport.h"
#include "indexing/KeywordDefinitions.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

const QStringList kColumns = {
    "ks_coremeta\tks_coremeta\t기본메타\tmt_title\t제목\tx\tN\t1",
    "ks_coremeta\tks_coremeta\t기본메타\tmt_oCode\t주제분류1\tCode_92\tN\t1",
    "ks_coremeta\tks_coremeta\t기본메타\tmt_sCode\t주제분류2\tCode_93\tN\t1",
    "ks_exMetaName\tks_exMetaAddInfo\t인명\tnm_name\t이름\tx\tY\t1",
};

class KeywordDefinitionsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TVUX_codes codes;
    TJobDefine job;
    RecordingInteraction ui;

    void SetUp() override
    {
        codes.BuildColumns(kColumns);
        job.WorkFolder = dir.path();
        job.pID = "9001";
        job.pCode = "DEMO 01#";
        job.pNAME = "데모 도서";
        job.TabsCount = 2;
        job.TabsName[0] = "본문";
        job.TabsID[0] = "101";
        job.TabsName[1] = "번역";
        job.TabsID[1] = "102";
    }
    QString File() const { return KeywordDefinitionsFile(job); }
};

QString Reply(const QStringList& dataLines)
{
    return (QStringList{"OK"} + dataLines + QStringList{"end"}).join("\r\n");
}

TEST_F(KeywordDefinitionsTest, ReplyChecks)
{
    const QString good1 = "1^ks_coremeta^mt_oCode^인명";
    const QString good2 = "2^ks_exMetaName^nm_name^【인물】";
    struct Case {
        const char* name;
        QString reply;
        KeywordFetch status;
        QString message;
        QString offending; // the line named in the error panel
    } cases[] = {
        {"error word", "오류", KeywordFetch::NoInfo, MsgKeywordsNoInfo, {}},
        {"error word and a line break is no error word", "오류\r\n", KeywordFetch::NotRegistered,
         MsgKeywordsNotRegistered, {}},
        {"empty", "", KeywordFetch::NotRegistered, MsgKeywordsNotRegistered, {}},
        {"three lines although well formed", Reply({"ar_id^101"}), KeywordFetch::NotRegistered,
         MsgKeywordsNotRegistered, {}},
        {"last line not end", "OK\nar_id^101\n" + good1 + "\nEND", KeywordFetch::BadFrame, MsgKeywordsBadFrame, {}},
        {"first line not OK", "ok\nar_id^101\n" + good1 + "\nend", KeywordFetch::BadFrame, MsgKeywordsBadFrame, {}},
        {"keyword before any tab", Reply({good1, "ar_id^101", good2}), KeywordFetch::BadLine, MsgKeywordsNoArId, good1},
        {"unknown tab among valid lines", Reply({"ar_id^101", good1, "ar_id^999", good2}), KeywordFetch::BadLine,
         MsgKeywordsBadArId("999"), "ar_id^999"},
        {"unknown tab leaves no current tab", Reply({"ar_id^999x", good1}), KeywordFetch::BadLine,
         MsgKeywordsBadArId("999x"), "ar_id^999x"},
        {"tab line without ID", Reply({"ar_id", good1}), KeywordFetch::BadLine, MsgKeywordsBadArId(""), "ar_id"},
        {"kind 3", Reply({"ar_id^101", "3^ks_coremeta^mt_oCode^인명"}), KeywordFetch::BadLine, MsgKeywordsBadKind,
         "3^ks_coremeta^mt_oCode^인명"},
        {"unknown column", Reply({"ar_id^101", good1, "2^ks_coremeta^mt_nothing^x"}), KeywordFetch::BadLine,
         MsgKeywordsBadCode, "2^ks_coremeta^mt_nothing^x"},
        {"unknown group", Reply({"ar_id^101", "2^ks_none^nm_name^x"}), KeywordFetch::BadLine, MsgKeywordsBadCode,
         "2^ks_none^nm_name^x"},
        {"spaces around fields pass", Reply({" ar_id ^ 101 ", " 1 ^ ks_coremeta ^ mt_oCode ^ 인명 "}),
         KeywordFetch::Ok, {}, {}},
        {"upper-case codes pass", Reply({"ar_id^102", "1^KS_COREMETA^MT_OCODE^기타"}), KeywordFetch::Ok, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const KeywordFetchResult r = CheckKeywordReply(c.reply, job, codes);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.message, c.message);
        if (c.status == KeywordFetch::BadLine) {
            EXPECT_EQ(r.errorPanel, c.message + "\r\n" + KeywordErrorRule + "\r\n" + c.offending + "\r\n" +
                                        KeywordErrorRule + "\r\n" + c.reply);
            EXPECT_TRUE(r.lines.isEmpty());
        } else {
            EXPECT_TRUE(r.errorPanel.isEmpty());
        }
    }
    // Lines are kept as received, spaces included; duplicate tab lines are no error.
    const QStringList data = {" ar_id ^ 101 ", " 1 ^ ks_coremeta ^ mt_oCode ^ 인명 ", "ar_id^101", good2};
    const KeywordFetchResult r = CheckKeywordReply(Reply(data), job, codes);
    EXPECT_EQ(r.status, KeywordFetch::Ok);
    EXPECT_EQ(r.lines, data);
}

TEST_F(KeywordDefinitionsTest, FetchSendsFieldsInOrderAndWritesOnlyOnSuccess)
{
    QString sentPath;
    QList<QPair<QString, QString>> sent;
    QString nextReply;
    bool connects = true;
    const FormPostFn post = [&](const QString& path, const QList<QPair<QString, QString>>& fields, QString& reply,
                                QString& error) {
        sentPath = path;
        sent = fields;
        reply = nextReply;
        error = connects ? QString() : QStringLiteral("refused");
        return connects;
    };

    const QStringList data = {"ar_id^101", "1^ks_coremeta^mt_oCode^인명", "1^ks_coremeta^mt_sCode^ 지명"};
    nextReply = Reply(data);
    KeywordFetchResult r = FetchKeywordDefinitions(job, " staff ", "p w", codes, post, ui);
    ASSERT_EQ(r.status, KeywordFetch::Ok);
    EXPECT_EQ(sentPath, "/ASP/vx__getMetaInfo.asp");
    const QList<QPair<QString, QString>> expected = {
        {"id", " staff "}, {"pw", "p w"}, {"p_id", "9001"}, {"p_dcode", "DEMO 01#"}};
    EXPECT_EQ(sent, expected);
    EXPECT_TRUE(ui.infos.isEmpty());
    EXPECT_EQ(ReadBytes(File()), Utf16File(data));

    // Every failure leaves the file as it was.
    const QByteArray before = ReadBytes(File());
    struct Case {
        const char* name;
        QString id;
        bool connects;
        QString reply;
        KeywordFetch status;
        QString message;
    } cases[] = {
        {"not logged in", "", true, Reply(data), KeywordFetch::NotLoggedIn, MsgKeywordsLoginFirst},
        {"no server", "staff", false, Reply(data), KeywordFetch::NoConnection, MsgKeywordsNoServer},
        {"no information", "staff", true, "오류", KeywordFetch::NoInfo, MsgKeywordsNoInfo},
        {"bad column", "staff", true, Reply({"ar_id^101", "1^ks_coremeta^mt_x^y"}), KeywordFetch::BadLine,
         MsgKeywordsBadCode},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.infos.clear();
        sentPath.clear();
        connects = c.connects;
        nextReply = c.reply;
        r = FetchKeywordDefinitions(job, c.id, "pw", codes, post, ui);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(ui.infos, QStringList{c.message});
        EXPECT_EQ(ReadBytes(File()), before);
        if (c.status == KeywordFetch::NotLoggedIn) {
            EXPECT_TRUE(sentPath.isEmpty());
        }
    }
}

TEST_F(KeywordDefinitionsTest, FetchIntoMissingFolderFailsWithMessage)
{
    job.WorkFolder = dir.filePath("gone");
    const FormPostFn post = [&](const QString&, const QList<QPair<QString, QString>>&, QString& reply, QString&) {
        reply = Reply({"ar_id^101", "1^ks_coremeta^mt_oCode^인명", "2^ks_exMetaName^nm_name^【인물】"});
        return true;
    };
    const KeywordFetchResult r = FetchKeywordDefinitions(job, "staff", "pw", codes, post, ui);
    EXPECT_EQ(r.status, KeywordFetch::WriteFailed);
    ASSERT_EQ(ui.infos.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(File()));
}

QString LineMessage(int n, const QString& what, const QString& line)
{
    return "keywords.txt 줄 번호 :#" + QString::number(n) + "오류가 발생했습니다.\r\n" + what + "\r\n" + line +
           "\r\n\"색인 정보 가져오기\"를 이용하여 새로 받으십시오.";
}

TEST_F(KeywordDefinitionsTest, LoaderReadsOptionsAndNamesTheFaultyLine)
{
    struct Case {
        const char* name;
        QStringList lines;
        bool ok;
        QString message;
        int options;
        QStringList arIds;
    } cases[] = {
        {"two tabs, empty and short lines skipped",
         {"ar_id^101", "", "1^ks_coremeta^mt_oCode^인명", "2^ks_coremeta^mt_title", "ar_id^102",
          "2^ks_exMetaName^NM_NAME^【인물】^extra"},
         true, {}, 2, {"101", "102"}},
        {"duplicate tab lines", {"ar_id^101", "ar_id^101", "1^ks_coremeta^mt_oCode^인명"}, true, {}, 1,
         {"101", "101"}},
        {"kind 3 is a number", {"ar_id^101", "3^ks_coremeta^mt_oCode^인명"}, true, {}, 1, {"101"}},
        {"keyword before any tab", {"1^ks_coremeta^mt_oCode^인명", "ar_id^101"}, false, MsgKeywordsLoaderNoArId, 0, {}},
        {"tab line without ID", {"ar_id", "1^ks_coremeta^mt_oCode^인명"}, false, MsgKeywordsLoaderNoArId, 0, {}},
        {"kind not a number counts empty lines",
         {"ar_id^101", "1^ks_coremeta^mt_oCode^인명", "", "x^ks_coremeta^mt_sCode^지명"}, false,
         LineMessage(4, " 옵션값(1,2) 오류.", "x^ks_coremeta^mt_sCode^지명"), 1, {"101"}},
        {"spaces around stored fields", {"ar_id^101", " 1 ^ ks_coremeta ^ mt_oCode ^ 인명 "}, false,
         LineMessage(2, " 컬럼명 오류.", " 1 ^ ks_coremeta ^ mt_oCode ^ 인명 "), 0, {"101"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.infos.clear();
        TKeywordDefinitions defs;
        defs.ar_ids << "stale";
        EXPECT_EQ(ParseKeywordDefinitions(c.lines, codes, defs, ui), c.ok);
        EXPECT_EQ(ui.infos, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
        EXPECT_EQ(defs.options.size(), c.options);
        EXPECT_EQ(defs.ar_ids, c.arIds);
    }

    TKeywordDefinitions defs;
    ASSERT_TRUE(ParseKeywordDefinitions({"ar_id^101", "1^ks_coremeta^mt_sCode^지 명", "ar_id^102",
                                         "2^ks_exMetaName^nm_name^【인물】"},
                                        codes, defs, ui));
    ASSERT_EQ(defs.options.size(), 2);
    const TvuxSchOption& a = defs.options[0];
    EXPECT_EQ(a.ar_id, "101");
    EXPECT_EQ(a.sptr, 2);
    EXPECT_EQ(a.stype, 1);
    EXPECT_EQ(a.value, "지 명");
    EXPECT_EQ(defs.options[1].ar_id, "102");
    EXPECT_EQ(defs.options[1].sptr, 3);
    EXPECT_EQ(defs.options[1].stype, 2);
}

TEST_F(KeywordDefinitionsTest, LoaderReadsFilesInAnyEncoding)
{
    TKeywordDefinitions defs;
    EXPECT_FALSE(LoadKeywordDefinitions(File(), codes, defs, ui));
    EXPECT_EQ(ui.infos, QStringList{MsgKeywordsFileMissing});

    // A file edited by hand and saved without byte-order mark is code page 949.
    const QStringList lines = {"ar_id^101", "1^ks_coremeta^mt_oCode^인명"};
    for (const QByteArray& bytes : {EncodeLines(lines, TextEncoding::Cp949), EncodeLines(lines, TextEncoding::Utf8),
                                    Utf16File(lines)}) {
        ui.infos.clear();
        ASSERT_TRUE(WriteBytes(File(), bytes));
        ASSERT_TRUE(LoadKeywordDefinitions(File(), codes, defs, ui));
        EXPECT_TRUE(ui.infos.isEmpty());
        ASSERT_EQ(defs.options.size(), 1);
        EXPECT_EQ(defs.options[0].value, "인명");
    }
}

TEST_F(KeywordDefinitionsTest, SessionLoaderFillsMyLib)
{
    // The session's code table comes from the data folder's files, as after a login.
    if (!QFileInfo::exists(MetaInfoFileName())) {
        ASSERT_TRUE(WriteTextLines(MetaInfoFileName(), kColumns));
    }
    if (!QFileInfo::exists(CodeTableFileName())) {
        ASSERT_TRUE(WriteTextLines(CodeTableFileName(), {"Code_92\t주제분류1\t00", "Code_92\t기타\t99"}));
    }
    ASSERT_TRUE(EnsureCodeTable(ui));
    const TVuxColumn& col = SessionCodes()->vux_Columns.first();

    const TJobDefine saved = myLIB.Jobs;
    myLIB.Jobs = job;
    myLIB.schOptions = {TvuxSchOption{"old", 0, 1, "x"}};
    myLIB.schOptionsCount = 1;
    ASSERT_TRUE(WriteTextLines(File(), {"ar_id^102", "2^" + col.GroupCode + "^" + col.ColumnCode + "^ref", "ar_id^101"}));
    EXPECT_TRUE(LoadKeywordDefinitions(ui));
    EXPECT_EQ(myLIB.schOptionsCount, 1);
    ASSERT_EQ(myLIB.schOptions.size(), 1);
    EXPECT_EQ(myLIB.schOptions[0].ar_id, "102");
    EXPECT_EQ(myLIB.schOptions[0].value, "ref");
    EXPECT_EQ(myLIB.sch_ar_ids, (QStringList{"102", "101"}));

    // A failed load leaves what was read before the faulty line, and the count agrees.
    ASSERT_TRUE(WriteTextLines(File(), {"ar_id^101", "2^" + col.GroupCode + "^" + col.ColumnCode + "^ref",
                                        "2^" + col.GroupCode + "^no_such_column^ref"}));
    EXPECT_FALSE(LoadKeywordDefinitions(ui));
    EXPECT_EQ(myLIB.schOptionsCount, 1);
    EXPECT_EQ(myLIB.sch_ar_ids, QStringList{"101"});
    myLIB.Jobs = saved;
}

} // namespace
