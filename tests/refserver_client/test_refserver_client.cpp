// The program's own client against the reference server started as a child process: the two
// sides must agree on every byte of the login, the column file, the code table and an upload.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "common/RefServerProcess.h"
#include "common/TestSupport.h"
#include "server/HttpClient.h"
#include "server/Login.h"
#include "server/VUX_codes.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"

namespace {

class RefServerClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!RefServerProcess::Built())
            GTEST_SKIP() << "quilo-server is not built";
        QString log;
        m_url = m_server.Start(&log);
        ASSERT_FALSE(m_url.isEmpty()) << log.toStdString();
        m_client.SetBaseURL(m_url);
    }
    RefServerProcess m_server;
    QString m_url;
    THttpClient m_client;
};

TEST_F(RefServerClient, LoginColumnFileAndCodeTableFitTogether)
{
    RecordingInteraction ui;
    TmyLIB session;
    ASSERT_EQ(RunLogin("demo", "wrong", m_client, ui, session), LoginResult::WrongCredentials);
    ASSERT_EQ(RunLogin("demo", "demo", m_client, ui, session), LoginResult::Complete) << ui.infos.join("\n").toStdString();
    EXPECT_EQ(session.staffNAME, QStringLiteral("데모 작업자"));
    EXPECT_EQ(session.staffLEVEL, QStringLiteral("1"));

    const QString metaFile = QDir(m_server.DataPath()).filePath("client-VuxMetaInfo.txt");
    ASSERT_TRUE(FetchMetaInfo(m_client, metaFile, ui)) << ui.infos.join("\n").toStdString();
    TVUX_codes codes;
    ASSERT_TRUE(codes.Create(ui, {}, metaFile));
    ASSERT_TRUE(codes.MakeCodeData(ui));  // the codetable.txt the login wrote
    EXPECT_EQ(codes.vux_SubjPtr1, 5);
    EXPECT_EQ(codes.vux_SubjPtr2, 6);
    EXPECT_EQ(codes.vux_GroupCount, 11);
    EXPECT_GE(codes.vux_Groups[0].Count, 38);
    EXPECT_EQ(codes.GetGroupName(codes.vux_GroupCount - 1), QStringLiteral("이미지"));
    EXPECT_GE(codes.FindColumnPtr("ks_MetaTypeDetail", "kf_desc"), 0);
    EXPECT_EQ(codes.FindCodeValue("Code_92", QStringLiteral("기타")), QStringLiteral("99"));
    EXPECT_EQ(codes.FindCodeValue("Code_93", QStringLiteral("인명")), QStringLiteral("01"));
    // Every coded column names a code group of the code table.
    for (int i = 0; i < codes.vux_DataBlockLength; ++i) {
        const QString group = codes.vux_Columns[i].CodeGroup;
        if (group != "x") {
            EXPECT_GE(codes.FindCodePointer(group), 0) << group.toStdString();
        }
    }
}

TEST_F(RefServerClient, UploadStartAndAFileInASubFolder)
{
    TFormFields start = IdentityFields("demo", "demo");
    start.Set("p_id", "9001");
    start.Set("p_dcode", "DEMO01");
    HttpResult r = m_client.PostForm("/ASP/vx__InsertProductStart.asp", start, FormEncoding::PreEscaped);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.Lines().value(0), QStringLiteral("INSERT"));

    TFormFields fields = IdentityFields("demo", "demo");
    fields.Set("pID", "9001");
    fields.Set("imageFolder", QStringLiteral("img/그림"));
    r = m_client.PostMultipart("/ASP/vx__use_fileup.asp", fields, "file", QStringLiteral("가 나.jpg"),
                               QByteArray("\xFF\xD8\xFF\xE0 not really a jpeg", 21), "multipart/form-data");
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.text.trimmed(), QStringLiteral("OK"));
    QFile stored(QDir(m_server.DataPath()).filePath(QStringLiteral("files/9001/img/그림/가 나.jpg")));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll().size(), 21);
}

} // namespace
