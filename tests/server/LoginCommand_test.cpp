#include "common/TestSupport.h"
#include "server/FakeServer.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `quilo` while this thread keeps serving the fake server.
CliRun Quilo(const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    p.start(qEnvironmentVariable("QUILO_BINARY_DIR") + "/quilo", args);
    loop.exec();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

TEST(LoginCommand, ServerAndCredentialsFromOptionsOrEnvironment)
{
    const QString quilo = qEnvironmentVariable("QUILO_BINARY_DIR") + "/quilo";
    if (!QFileInfo(quilo).isExecutable())
        GTEST_SKIP() << "quilo is not built";
    FakeServer server;
    server.On("/ASP/vx__use_staff.asp", FakeReply::Text(QString("데모 작업자|1").toUtf8()));
    server.On("/ASP/vx__getGoodsInfo.asp", FakeReply::Text("OK\r\n0^9001^QU^x\r\nend"));
    server.On("/ASP/vx__getMetaCode.asp", FakeReply::Text("OK\r\na^b^c\r\nend"));
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILO_HOME", home.path());
    env.remove("QUILO_SERVER_URL");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");

    CliRun ok = Quilo({"login", "--id", "demo", "--pw", "demo", "--server", server.BaseURL()}, env);
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, QString("데모 작업자\t1\n"));
    EXPECT_EQ(ReadBytes(home.filePath("bookinfo.ini")), Utf16File({"0^9001^QU^x"}));
    EXPECT_EQ(ReadBytes(home.filePath("codetable.txt")), Utf16File({"a\tb\tc"}));

    env.insert("QUILO_SERVER_URL", server.BaseURL());
    env.insert("QUILO_ID", "env id");
    env.insert("QUILO_PW", "env#pw");
    server.Clear();
    server.On("/ASP/vx__use_staff.asp", FakeReply::Text(QString("오류").toUtf8()));
    CliRun refused = Quilo({"login"}, env);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, QString("아이디나 비밀번호가 맞지 않습니다.\n"));
    EXPECT_TRUE(refused.out.isEmpty());
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0].body, QByteArray("id=env%20id&pw=env%23pw"));

    env.remove("QUILO_ID");
    CliRun missing = Quilo({"login"}, env);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, QString("아이디를 입력하세요.\n"));

    EXPECT_EQ(Quilo({"login", "extra"}, env).exitCode, 2);
}

} // namespace
