#include "common/QuiloCommand.h"
#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "server/FakeServer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray Products = "OK\r\n"
                            "데모 도서^DEMO01^9001^Y^Y^본문,번역^번역,본문^101,102\r\n"
                            "나쁜 책^BAD01^9003^N^N^본문,../밖^x^301,302\r\n"
                            "부록 책^BAD02^9004^N^N^[부록],;주석,본문^x^401,402,403\r\n"
                            "end\r\n";

struct Fixture {
    FakeServer server;
    QStringList login;
    Fixture(const QByteArray& reply = Products)
    {
        server.On("/ASP/vx__JobsGetMy.asp", FakeReply::Text(reply));
        login = {"--server", server.BaseURL(), "--id", "demo", "--pw", "demo"};
    }
};

} // namespace

TEST(CliProducts, ListsTheAssignedProducts)
{
    Fixture fx;
    CmdResult r = Quilo(QStringList{"products"} + fx.login);
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "데모 도서\tDEMO01\t9001\tY\tY\t본문,번역\t번역,본문\t101,102\n"
                     "나쁜 책\tBAD01\t9003\tN\tN\t본문,../밖\tx\t301,302\n"
                     "부록 책\tBAD02\t9004\tN\tN\t[부록],;주석,본문\tx\t401,402,403\n");
    ASSERT_EQ(fx.server.requests.size(), 1);
    EXPECT_EQ(fx.server.requests[0].body, "id=demo&pw=demo");

    // Credentials from the environment.
    QuiloOptions how;
    how.env.insert("QUILO_ID", "env id");
    how.env.insert("QUILO_PW", "env#pw");
    how.env.insert("QUILO_SERVER_URL", fx.server.BaseURL());
    r = Quilo({"products"}, how);
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(fx.server.requests.last().body, "id=env%20id&pw=env%23pw");

    how.env.remove("QUILO_ID");
    EXPECT_EQ(Quilo({"products"}, how).exit, 2);

    Fixture refused("오류");
    r = Quilo(QStringList{"products"} + refused.login);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "아이디나 비밀번호가 맞지 않습니다.\n");
    r = Quilo({"products", "--server", "http://127.0.0.1:1", "--id", "demo"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "서버에 연결하지 못했습니다. 인터넷 연결을 확인하십시오.\n");
}

TEST(CliJobNew, DefinesAJobForAnAssignedProduct)
{
    Fixture fx;
    QTemporaryDir dir;
    const QString job = dir.filePath("새 작업");
    QDir().mkpath(job + "/src/본문");
    QDir().mkpath(job + "/src/번역");
    CmdResult r = Quilo(QStringList{"job", "new", job, "--product", "9001", "--src", "본문=src/본문", "--src",
                                 "번역=" + job + "/src/번역"} + fx.login);
    ASSERT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "pID=9001\npCODE=DEMO01\npNAME=데모 도서\nsrcImage=Y\ninsImage=Y\n"
                     "tab=본문\tsrc/본문\t\t101\ntab=번역\tsrc/번역\t본문\t102\n");
    EXPECT_EQ(Quilo({"job", job}).out, r.out);

    // Asked again for the same folder: the job there is used (the question is answered yes).
    r = Quilo(QStringList{"job", "new", job, "--product", "9001"} + fx.login);
    EXPECT_EQ(r.exit, 0);
    EXPECT_TRUE(r.err.contains("작업하던 폴더입니다. 기존 작업 내용을 사용할까요?"));
    EXPECT_TRUE(r.out.contains("tab=번역\tsrc/번역\t본문\t102"));
}

TEST(CliJobNew, RefusesWhatTheWindowRefuses)
{
    Fixture fx;
    QTemporaryDir dir;
    QTemporaryDir outside;
    QDir(dir.path()).mkpath("a");
    struct Case {
        const char* name;
        QStringList args;
        int exit;
        QString err;
    } cases[] = {
        {"unknown product", {"--product", "7777"}, 1, "제품 ID 7777은(는) 배정된 제품 목록에 없습니다.\n"},
        {"tab escaping the folder", {"--product", "9003"}, 1, "이 제품의 탭 정보로는 작업을 만들 수 없습니다."},
        {"tabs the job file cannot hold", {"--product", "9004"}, 1, "이 제품의 탭 정보로는 작업을 만들 수 없습니다."},
        {"unknown tab", {"--product", "9001", "--src", "목차=a"}, 1, "탭 \"목차\"은(는) 이 작업에 없습니다.\n"},
        {"missing folder", {"--product", "9001", "--src", "본문=nothing"}, 1, "폴더가 없습니다."},
        {"folder outside", {"--product", "9001", "--src", "본문=" + outside.path()}, 1,
         "탭의 텍스트 폴더는 작업 폴더 안에 있는 폴더여야 합니다."},
        {"same folder twice", {"--product", "9001", "--src", "본문=a", "--src", "번역=a"}, 1,
         "같은 파일을 두 개의 탭에 사용할 수 없습니다.\n"},
        {"bad --src", {"--product", "9001", "--src", "본문"}, 2, "--src needs TAB=FOLDER"},
        {"no product", {}, 2, "usage: quilo job new"},
    };
    for (const Case& c : cases) {
        const CmdResult r = Quilo(QStringList{"job", "new", dir.path()} + c.args + fx.login);
        EXPECT_EQ(r.exit, c.exit) << c.name << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.err)) << c.name << ": " << r.err.toStdString();
        EXPECT_FALSE(IsJobFolder(dir.path())) << c.name;
    }
}
