#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/FakeServer.h"
#include "server/HttpClient.h"
#include "server/Login.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTcpServer>

namespace {

QByteArray Utf8(const QString& s) { return s.toUtf8(); }

class LoginTest : public ::testing::Test {
protected:
    FakeServer server;
    THttpClient client;
    RecordingInteraction ui;
    TmyLIB session;

    void SetUp() override
    {
        client.SetBaseURL(server.BaseURL());
        QFile::remove(BookInfoFileName());
        QFile::remove(CodeTableFileName());
    }

    void ServeGood()
    {
        server.On("/ASP/vx__use_staff.asp", FakeReply::Text(Utf8("데모 작업자|1")));
        server.On("/ASP/vx__getGoodsInfo.asp",
                  FakeReply::Text(Utf8("OK\r\n0^9001^QU^데모 도서\r\n1^9002^QU^둘째\r\nend\r\n")));
        server.On("/ASP/vx__getMetaCode.asp",
                  FakeReply::Text(Utf8("OK\r\nsubj^주제^00\r\nsubj^문학^10\r\nend")));
    }

    LoginResult Login(const QString& id, const QString& pw) { return RunLogin(id, pw, client, ui, session); }
};

TEST_F(LoginTest, CompleteLoginWritesBothFilesAndFields)
{
    ServeGood();
    session.LoginID = "previous";
    ASSERT_EQ(Login(" demo ", "p# w"), LoginResult::Complete);
    EXPECT_TRUE(ui.infos.isEmpty()) << ui.infos.join('/').toStdString();
    EXPECT_EQ(session.LoginID, QString(" demo "));
    EXPECT_EQ(session.LoginPW, QString("p# w"));
    EXPECT_EQ(session.staffNAME, QString("데모 작업자"));
    EXPECT_EQ(session.staffLEVEL, QString("1"));
    EXPECT_EQ(ReadBytes(BookInfoFileName()), Utf16File({"0^9001^QU^데모 도서", "1^9002^QU^둘째"}));
    EXPECT_EQ(ReadBytes(CodeTableFileName()), Utf16File({"subj\t주제\t00", "subj\t문학\t10"}));
    // The same encoded identity in all three requests, identity first.
    ASSERT_EQ(server.requests.size(), 3);
    for (const FakeRequest& r : server.requests)
        EXPECT_EQ(r.body, QByteArray("id=%20demo%20&pw=p%23%20w"));
    EXPECT_EQ(server.requests[0].path, QByteArray("/ASP/vx__use_staff.asp"));
    EXPECT_EQ(server.requests[1].path, QByteArray("/ASP/vx__getGoodsInfo.asp"));
    EXPECT_EQ(server.requests[2].path, QByteArray("/ASP/vx__getMetaCode.asp"));
}

TEST_F(LoginTest, StaffReplies)
{
    struct Case {
        const char* name;
        FakeReply reply;
        LoginResult result;
        QString message;
        QString staffName;
        QString staffLevel;
    };
    FakeReply http500 = FakeReply::Text(Utf8("오류"));
    http500.status = 500;
    const Case cases[] = {
        {"refused", FakeReply::Text(Utf8("오류")), LoginResult::WrongCredentials, MsgWrongLogin, "", ""},
        {"refused in euc-kr", FakeReply::Text(EncodeCp949("오류"), "text/html; charset=euc-kr"),
         LoginResult::WrongCredentials, MsgWrongLogin, "", ""},
        {"error word and line break", FakeReply::Text(Utf8("오류\r\n")), LoginResult::NoServer, MsgNoServer, "", ""},
        {"three fields", FakeReply::Text(Utf8("김철수|2|extra")), LoginResult::Complete, "", "김철수", "2"},
        {"leading separator", FakeReply::Text(Utf8("|김철수|2|extra")), LoginResult::Complete, "", "김철수", "2"},
        {"one field", FakeReply::Text(Utf8("김철수")), LoginResult::NoServer, MsgNoServer, "", ""},
        {"empty body", FakeReply::Text(""), LoginResult::NoServer, MsgNoServer, "", ""},
        {"no charset, euc-kr", FakeReply::Text(EncodeCp949("김철수|2"), "text/html"), LoginResult::Complete, "",
         "김철수", "2"},
        {"http 500", http500, LoginResult::NoServer, MsgNoServer, "", ""},
    };
    for (const Case& c : cases) {
        server.Clear();
        ui.infos.clear();
        server.On("/ASP/vx__use_staff.asp", c.reply);
        server.On("/ASP/vx__getGoodsInfo.asp", FakeReply::Text("OK\r\nend"));
        server.On("/ASP/vx__getMetaCode.asp", FakeReply::Text("OK\r\nend"));
        session.LoginID = "old";
        session.staffNAME = "old";
        EXPECT_EQ(Login("kim", "pw"), c.result) << c.name;
        if (c.message.isEmpty())
            EXPECT_TRUE(ui.infos.isEmpty()) << c.name;
        else
            EXPECT_EQ(ui.infos, QStringList{c.message}) << c.name;
        EXPECT_EQ(session.staffNAME, c.staffName) << c.name;
        EXPECT_EQ(session.staffLEVEL, c.staffLevel) << c.name;
        EXPECT_EQ(session.LoginID, c.result == LoginResult::Complete ? QString("kim") : QString()) << c.name;
        EXPECT_EQ(server.requests.size(), c.result == LoginResult::Complete ? 3 : 1) << c.name;
    }
}

TEST_F(LoginTest, EmptyInputSendsNothing)
{
    ServeGood();
    EXPECT_EQ(Login("  ", "pw"), LoginResult::MissingInput);
    EXPECT_EQ(Login("kim", " "), LoginResult::MissingInput);
    EXPECT_EQ(ui.infos, QStringList({MsgEnterId, MsgEnterPw}));
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(LoginTest, ListRepliesAndKeptFiles)
{
    struct Case {
        const char* name;
        QByteArray goods;
        int goodsStatus;
        QByteArray codes;
        LoginResult result;
        QStringList messages;
        bool bookWritten;
        bool codesWritten;
    };
    const Case cases[] = {
        {"empty product list", "OK\r\nend", 200, "OK\r\nend", LoginResult::Complete, {}, true, true},
        {"product list not OK", "NO\r\nend", 200, "OK\r\nend", LoginResult::NoProducts, {MsgNoProducts}, false, false},
        {"product list lower-case ok", "ok\r\nx\r\nend", 200, "OK\r\nend", LoginResult::NoProducts, {MsgNoProducts},
         false, false},
        {"product list one line", "OK", 200, "OK\r\nend", LoginResult::NoProducts, {MsgNoServer, MsgNoProducts},
         false, false},
        {"product list http 500", "OK\r\nend", 500, "OK\r\nend", LoginResult::NoProducts,
         {MsgNoServer, MsgNoProducts}, false, false},
        {"code table garbage", "OK\r\nend", 200, "\x01\x02garbage", LoginResult::NoCodeTable, {MsgNoCodeTable}, true,
         false},
        {"code table empty", "OK\r\nend", 200, "", LoginResult::NoCodeTable, {MsgNoCodeTable}, true, false},
    };
    for (const Case& c : cases) {
        WriteBytes(BookInfoFileName(), "old book");
        WriteBytes(CodeTableFileName(), "old codes");
        server.Clear();
        ui.infos.clear();
        server.On("/ASP/vx__use_staff.asp", FakeReply::Text(Utf8("데모 작업자|1")));
        FakeReply goods = FakeReply::Text(c.goods);
        goods.status = c.goodsStatus;
        server.On("/ASP/vx__getGoodsInfo.asp", goods);
        server.On("/ASP/vx__getMetaCode.asp", FakeReply::Text(c.codes));
        EXPECT_EQ(Login("demo", "demo"), c.result) << c.name;
        EXPECT_EQ(ui.infos, c.messages) << c.name;
        // The staff check succeeded: logged in even when a list failed.
        EXPECT_EQ(session.LoginID, QString("demo")) << c.name;
        EXPECT_EQ(session.staffNAME, QString("데모 작업자")) << c.name;
        EXPECT_EQ(ReadBytes(BookInfoFileName()), c.bookWritten ? Utf16File({}) : QByteArray("old book")) << c.name;
        EXPECT_EQ(ReadBytes(CodeTableFileName()), c.codesWritten ? Utf16File({}) : QByteArray("old codes"))
            << c.name;
    }
    EXPECT_EQ(Utf16File({}), QByteArray("\xFF\xFE", 2));
}

TEST_F(LoginTest, ServerDown)
{
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    client.SetBaseURL(QStringLiteral("http://127.0.0.1:%1").arg(port));
    WriteBytes(BookInfoFileName(), "old book");
    session.LoginID = "old";
    EXPECT_EQ(Login("demo", "demo"), LoginResult::NoServer);
    EXPECT_EQ(ui.infos, QStringList{MsgNoServer});
    EXPECT_TRUE(session.LoginID.isEmpty());
    EXPECT_EQ(ReadBytes(BookInfoFileName()), QByteArray("old book"));
}

} // namespace
