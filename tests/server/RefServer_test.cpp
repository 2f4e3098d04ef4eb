// The login and the code table against the reference server with the demo seed.

#include "common/QuiloCommand.h"
#include "common/RefServerProcess.h"
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
#include <QTemporaryDir>

namespace {

class RefServerTest : public ::testing::Test {
protected:
    RefServerProcess server;
    QString base;

    void SetUp() override
    {
        if (!RefServerProcess::Built())
            GTEST_SKIP() << "quilo-server is not built";
        QString log;
        base = server.Start(&log);
        ASSERT_FALSE(base.isEmpty()) << log.toStdString();
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
    QuiloOptions how;
    how.env.insert("QUILO_HOME", home.path());
    how.env.insert("QUILO_SERVER_URL", base);
    how.env.insert("ASAN_OPTIONS", "detect_leaks=0");
    const CmdResult r = Quilo({"login", "--id", "demo", "--pw", "demo"}, how);
    EXPECT_EQ(r.exit, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString("데모 작업자\t1\n"));
    EXPECT_TRUE(QFileInfo::exists(home.filePath("bookinfo.ini")));
    EXPECT_TRUE(QFileInfo::exists(home.filePath("codetable.txt")));
}

} // namespace
