// The upload run against the reference server started as a child process: every request the
// run builds must be accepted as it is on the wire, and a second run is an update.
#include "upload/UploadRun.h"

#include "common/TestSupport.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
#include "common/RefServerProcess.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class UploadServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!RefServerProcess::Built())
            GTEST_SKIP() << "quilo-server is not built";
        QString log;
        m_url = m_server.Start(&log);
        ASSERT_FALSE(m_url.isEmpty()) << log.toStdString();
        m_forms.SetBaseURL(m_url);
        m_files.SetBaseURL(m_url);
    }
    static QString Seed() { return RefServerProcess::Seed(); }

    RefServerProcess m_server;
    QString m_url;
    THttpClient m_forms;
    THttpClient m_files;
};

TEST_F(UploadServer, WholeRunIsAcceptedAndTheSecondIsAnUpdate)
{
    // The demo product's column file and code table, so every core column the run sends is one
    // the server knows.
    TVUX_codes codes;
    QStringList columns, codeRows;
    ASSERT_TRUE(ReadTextLines(Seed() + "/VuxMetaInfo.txt", columns));
    ASSERT_TRUE(ReadTextLines(Seed() + "/codetable.tsv", codeRows));
    codes.BuildColumns(columns);
    codes.BuildCodes(codeRows);

    QTemporaryDir dir;
    TJobDefine job;
    job.WorkFolder = dir.path();
    job.pID = "9001";
    job.pCode = "DEMO01";
    job.pNAME = "데모 도서";
    job.srcImage = "Y";
    job.insImage = "Y";
    job.TabsCount = 2;
    job.TabsName[0] = "본문";
    job.TabsName[1] = "번역";
    job.TabsID[0] = "101";
    job.TabsID[1] = "102";
    job.TabsLink[1] = "본문";
    WriteBytes(dir.filePath("본문.idx"), Utf16File({"1", "1", "가 & 나 😀", "1_1", "2", "(page 2)"}));
    WriteBytes(dir.filePath("work_본문/1.txt"), Utf16File({"<h1>가 & 나 😀</h1>", "본문 & <b>끝</b> 100%"}));
    WriteBytes(dir.filePath("work_본문/1_1.txt"), Utf16File({"<h2>(page 2)</h2>", "둘째 쪽"}));
    WriteBytes(dir.filePath("본문_pageinfo.txt"), Utf16File({"Main", "Main", "page"}));
    WriteBytes(dir.filePath("번역.idx"), Utf16File({"1", "1", "번역 하나"}));
    WriteBytes(dir.filePath("work_번역/1.txt"), Utf16File({"<h1>번역 하나</h1>", "translation"}));
    WriteBytes(dir.filePath("번역_connect.txt"), Utf16File({"-", "1"}));
    WriteBytes(dir.filePath("본문_images.txt"), Utf16File({"-", "-", "0001.jpg", "0002.jpg", "0002.jpg", "0002.jpg"}));
    for (const QString name : {"images/0001.jpg", "images/0002.jpg", "img/그림.JPG", "img/sub/b.jpg"})
        WriteBytes(dir.filePath(name), "\xFF\xD8 not really a picture \xFF\xD9");

    const QList<TvuxSchOption> options;
    TUploadSettings s;
    s.job = &job;
    s.codes = &codes;
    s.options = &options;
    s.loginId = "demo";
    s.loginPw = "demo";
    s.selected.fill(true);
    s.linkedTabs = {{1, 0}};
    s.sourceImageArid = "101";
    s.sourceImages = SourceImageFiles(dir.path());
    s.contentBaseUrl = "http://content.example";

    THttpUploadTransport wire(m_forms, m_files);
    int waits = 0;
    const TServerWait wait = [&](const HttpResult&) { return ++waits, false; };
    {
        RecordingInteraction ui;
        const TUploadRunResult r = RunUpload(s, wire, wait, ui, {});
        EXPECT_TRUE(r.completed) << ui.infos.join("\n").toStdString() << "\n" << ui.reports.join("\n").toStdString();
        EXPECT_TRUE(ui.reports.contains("-새로운 제품 데이터를 업로드합니다."));
        EXPECT_TRUE(ui.reports.contains("(1/2) sub/b.jpg"));
        EXPECT_TRUE(ui.reports.contains("(2/2) 그림.JPG"));
    }
    {
        RecordingInteraction ui;
        const TUploadRunResult r = RunUpload(s, wire, wait, ui, [](QStringList& note) {
            note = {"두 번째 & 마지막"};
            return true;
        });
        EXPECT_TRUE(r.completed) << ui.infos.join("\n").toStdString();
        EXPECT_TRUE(ui.reports.contains("-제품 데이터를 수정합니다."));
    }
    EXPECT_EQ(waits, 0);
}

} // namespace
