// The login and the code table against the reference server with the demo seed.

#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "server/Login.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

class RefServerTest : public ::testing::Test {
protected:
    QProcess server;
    QTemporaryDir data;
    QString base;

    void SetUp() override
    {
        const QString exe = qEnvironmentVariable("QUILO_BINARY_DIR") + "/refserver/quilo-server";
        const QString seed = qEnvironmentVariable("QUILO_SOURCE_DIR") + "/examples/demo/server";
        if (!QFileInfo(exe).isExecutable() || !QFileInfo::exists(seed))
            GTEST_SKIP() << "quilo-server is not built";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        server.setProcessEnvironment(env);
        server.start(exe, {"--data", data.path(), "--port", "0", "--seed", seed});
        QString out;
        const QRegularExpression address("(http://127\\.0\\.0\\.1:\\d+)");
        while (server.waitForReadyRead(20000)) {
            out += QString::fromUtf8(server.readAllStandardOutput());
            const auto m = address.match(out);
            if (m.hasMatch()) {
                base = m.captured(1);
                break;
            }
        }
        ASSERT_FALSE(base.isEmpty()) << out.toStdString() << server.readAllStandardError().toStdString();
    }

    void TearDown() override
    {
        if (server.state() != QProcess::NotRunning) {
            server.terminate();
            if (!server.waitForFinished(5000)) {
                server.kill();
                server.waitForFinished();
            }
        }
    }
};

TEST_F(RefServerTest, DemoLoginThenCodeTable)
{
    THttpClient client;
    client.SetBaseURL(base);
    RecordingInteraction ui;
    TmyLIB session;
    QFile::remove(BookInfoFileName());
    QFile::remove(CodeTableFileName());

    EXPECT_EQ(RunLogin("demo", "wrong", client, ui, session), LoginResult::WrongCredentials);
    EXPECT_EQ(ui.infos, QStringList{MsgWrongLogin});
    ui.infos.clear();

    ASSERT_EQ(RunLogin("demo", "demo", client, ui, session), LoginResult::Complete)
        << ui.infos.join('/').toStdString();
    EXPECT_EQ(session.staffNAME, QString("데모 작업자"));
    EXPECT_EQ(session.staffLEVEL, QString("1"));
    QStringList products;
    ASSERT_TRUE(ReadTextLines(BookInfoFileName(), products));
    ASSERT_FALSE(products.isEmpty());
    EXPECT_TRUE(products.join('\n').contains("9001^QU^데모 도서"));
    EXPECT_TRUE(ReadBytes(CodeTableFileName()).startsWith("\xFF\xFE"));

    // The column file comes from the server on first need; the code table from the login.
    QTemporaryDir dir;
    const QString meta = dir.filePath("VuxMetaInfo.txt");
    ASSERT_TRUE(FetchMetaInfo(client, meta, ui)) << ui.infos.join('/').toStdString();
    TVUX_codes codes;
    ASSERT_TRUE(codes.Create(ui, {}, meta));
    ASSERT_TRUE(codes.MakeCodeData(ui));
    EXPECT_GT(codes.vux_DataBlockLength, 0);
    EXPECT_GE(codes.vux_SubjPtr1, 0);
    EXPECT_GE(codes.vux_SubjPtr2, 0);
    EXPECT_GT(codes.vux_CodeCount, 0);
    // Every subject column names a code group the code table has.
    const QString subjects = codes.vux_Columns[codes.vux_SubjPtr1].CodeGroup;
    EXPECT_GE(codes.FindCodePointer(subjects), 0) << subjects.toStdString();
    EXPECT_TRUE(ui.infos.isEmpty()) << ui.infos.join('/').toStdString();
}

TEST_F(RefServerTest, LoginCommand)
{
    QTemporaryDir home;
    QProcess quilo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILO_HOME", home.path());
    env.insert("QUILO_SERVER_URL", base);
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    quilo.setProcessEnvironment(env);
    quilo.start(qEnvironmentVariable("QUILO_BINARY_DIR") + "/quilo", {"login", "--id", "demo", "--pw", "demo"});
    ASSERT_TRUE(quilo.waitForFinished(60000));
    EXPECT_EQ(quilo.exitCode(), 0) << quilo.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(quilo.readAllStandardOutput()), QString("데모 작업자\t1\n"));
    EXPECT_TRUE(QFileInfo::exists(home.filePath("bookinfo.ini")));
    EXPECT_TRUE(QFileInfo::exists(home.filePath("codetable.txt")));
}

} // namespace
