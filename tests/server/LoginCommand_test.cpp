#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "server/FakeServer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

TEST(LoginCommand, ServerAndCredentialsFromOptionsOrEnvironment)
{
    if (!QuiloBuilt())
        GTEST_SKIP() << "quilo is not built";
    FakeServer server;
    server.On("/ASP/vx__use_staff.asp", FakeReply::Text(QString("데모 작업자|1").toUtf8()));
    server.On("/ASP/vx__getGoodsInfo.asp", FakeReply::Text("OK\r\n0^9001^QU^x\r\nend"));
    server.On("/ASP/vx__getMetaCode.asp", FakeReply::Text("OK\r\na^b^c\r\nend"));
    QTemporaryDir home;
    QuiloOptions how;
    how.env.insert("QUILO_HOME", home.path());
    how.env.remove("QUILO_SERVER_URL");
    how.env.insert("ASAN_OPTIONS", "detect_leaks=0");

    CmdResult ok = Quilo({"login", "--id", "demo", "--pw", "demo", "--server", server.BaseURL()}, how);
    EXPECT_EQ(ok.exit, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, QString("데모 작업자\t1\n"));
    EXPECT_EQ(ReadBytes(home.filePath("bookinfo.ini")), Utf16File({"0^9001^QU^x"}));
    EXPECT_EQ(ReadBytes(home.filePath("codetable.txt")), Utf16File({"a\tb\tc"}));

    how.env.insert("QUILO_SERVER_URL", server.BaseURL());
    how.env.insert("QUILO_ID", "env id");
    how.env.insert("QUILO_PW", "env#pw");
    server.Clear();
    server.On("/ASP/vx__use_staff.asp", FakeReply::Text(QString("오류").toUtf8()));
    CmdResult refused = Quilo({"login"}, how);
    EXPECT_EQ(refused.exit, 1);
    EXPECT_EQ(refused.err, QString("아이디나 비밀번호가 맞지 않습니다.\n"));
    EXPECT_TRUE(refused.out.isEmpty());
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0].body, QByteArray("id=env%20id&pw=env%23pw"));

    how.env.remove("QUILO_ID");
    CmdResult missing = Quilo({"login"}, how);
    EXPECT_EQ(missing.exit, 1);
    EXPECT_EQ(missing.err, QString("아이디를 입력하세요.\n"));

    EXPECT_EQ(Quilo({"login", "extra"}, how).exit, 2);
}

} // namespace
