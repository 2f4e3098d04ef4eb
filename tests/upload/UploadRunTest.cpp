#include "upload/UploadRun.h"

#include "common/TestSupport.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <deque>

namespace {

#define EXPECT_TEXT(a, b) EXPECT_EQ(QString(a).toStdString(), QString(b).toStdString())

// Answers form posts from a script ("OK" once it runs dry) and file posts with "OK".
class Server : public TUploadTransport {
public:
    std::deque<QString> formReplies;
    QStringList requests; // path + "?" + body, file posts as path + "?" + folder + "/" + name

    HttpResult SendForm(const QString& path, const TFormFields& fields) override
    {
        requests << path + "?" + QString::fromUtf8(UploadFormBody(fields));
        QString text = QStringLiteral("OK");
        if (!formReplies.empty()) {
            text = formReplies.front();
            formReplies.pop_front();
        }
        return Reply(text);
    }
    HttpResult SendFile(const QString& path, const TFormFields& fields, const QString& fileName,
                        const QByteArray&) override
    {
        requests << path + "?" + fields.Value("imageFolder") + "|" + fileName;
        return Reply("OK");
    }
    QStringList Paths() const
    {
        QStringList out;
        for (const QString& r : requests)
            out << r.section('?', 0, 0);
        return out;
    }

private:
    static HttpResult Reply(const QString& text)
    {
        HttpResult r;
        r.ok = true;
        r.sent = true;
        r.status = 200;
        r.text = text;
        return r;
    }
};

// One tab "본문" of two articles, no meta result file; the base group is the title alone.
struct Job {
    QTemporaryDir dir;
    TJobDefine job;
    TVUX_codes codes;
    QList<TvuxSchOption> options;
    TUploadSettings settings;
    RecordingInteraction ui;
    Server server;

    Job()
    {
        job.WorkFolder = dir.path();
        job.pID = "9001";
        job.pCode = "DEMO01";
        job.pNAME = "데모";
        job.TabsCount = 1;
        job.TabsName[0] = "본문";
        job.TabsID[0] = "101";
        codes.BuildColumns({"ks_coremeta\tks_coremeta\tg\tmt_title\tn\tx\tN\t1"});
        WriteBytes(dir.filePath("본문.idx"), Utf16File({"1", "1", "가 나", "2", "1", "A&B"}));
        WriteBytes(dir.filePath("work_본문/1.txt"), Utf16File({"<h1>가 나</h1>", "본문 & 끝"}));
        WriteBytes(dir.filePath("work_본문/2.txt"), Utf16File({"<h1>A&B</h1>", "x"}));
        settings.job = &job;
        settings.codes = &codes;
        settings.options = &options;
        settings.loginId = "demo";
        settings.loginPw = "secret";
        settings.selected.fill(true);
    }
    TUploadRunResult Run(const TUpdateNoteAsk& ask = {}, TUploadTransport* transport = nullptr)
    {
        return RunUpload(settings, transport ? *transport : server, {}, ui, ask);
    }
};

const QString Id = "id=demo&pw=secret";
const QString Product = Id + "&p_id=9001&p_dcode=DEMO01";

TEST(UploadRun, NewProductSendsEveryRequestInOrderAndLogsThem)
{
    Job j;
    j.server.formReplies = {"INSERT\r\n"};
    const QString logs = j.dir.filePath("log");
    QDir().mkpath(logs);
    TUploadLog log(logs);
    TLoggingTransport logged(j.server, log);
    const TUploadRunResult r = j.Run({}, &logged);
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(r.startSucceeded);

    ASSERT_EQ(j.server.requests.size(), 5);
    EXPECT_TEXT(j.server.requests[0], UploadStartPath + "?" + Product);
    EXPECT_TEXT(j.server.requests[1], UploadRecordPath + "?" + Product +
                                          "&ar_id=101&content_number=1&page_number=1&content_detail=%uB370%uBAA8%20%uBCF8%uBB38"
                                          "&coremeta=has_child=1|parent_number=0");
    const QString second = j.server.requests[3];
    EXPECT_TRUE(second.startsWith(UploadRecordPath + "?" + Product + "&ar_id=101&content_number=3&page_number=2"
                                  "&content_detail=A%26B&page_detail="))
        << second.toStdString();
    // The HTML's "&" arrives full-width; the title record has its own "&" full-width too.
    EXPECT_TRUE(second.endsWith("&coremeta=mt%5Ftitle%3DA%uFF06B")) << second.toStdString();
    EXPECT_TRUE(j.server.requests[2].contains("%uBCF8%uBB38%20%uFF06%20%uB05D")) << j.server.requests[2].toStdString();
    // A new product has no note: the completion carries no "p_update".
    EXPECT_TEXT(j.server.requests[4], UploadCompletePath + "?" + Product);

    EXPECT_EQ(j.ui.reports,
              (QStringList{"-시작 메시지를 전송합니다...", "시작 메시지를 전송했습니다.", "-새로운 제품 데이터를 업로드합니다.", "-",
                           "-텍스트 정보를 전송합니다...", "Header 데모 본문", "본문 - 1 가 나", "본문 - 2 A&B",
                           "텍스트 정보 전송이 완료되었습니다.", "-완료 메시지를 전송합니다...", "완료 메시지를 전송했습니다.",
                           UploadDoneReport}));
    EXPECT_TRUE(j.ui.infos.isEmpty());

    log.Finish();
    QStringList files = QDir(logs).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"001_dn.txt", "001_up.txt", "002_dn.txt", "002_up.txt", "003_dn.txt", "003_up.txt",
                                  "004_dn.txt", "004_up.txt", "005_dn.txt", "005_up.txt"}));
    EXPECT_EQ(ReadBytes(logs + "/001_up.txt"), QByteArray("id=demo\r\npw=****\r\np_id=9001\r\np_dcode=DEMO01\r\n"));
    EXPECT_EQ(ReadBytes(logs + "/001_dn.txt"), QByteArray("INSERT\r\n"));
    for (const QString& f : files)
        EXPECT_FALSE(ReadBytes(logs + "/" + f).contains("secret")) << f.toStdString();
    // Code page 949 without byte-order mark.
    QTemporaryDir other;
    TUploadLog korean(other.path());
    korean.WriteRequest({});
    korean.WriteReply("한\n");
    korean.Finish();
    EXPECT_EQ(ReadBytes(other.filePath("001_dn.txt")), QByteArray("\xC7\xD1\r\n"));
}

TEST(UploadRun, RequestLogsCountOnlyRequestsThatWentOut)
{
    // The start finds no server twice, then goes out and loses its reply, then goes through.
    class Flaky : public Server {
    public:
        int calls = 0;
        HttpResult SendForm(const QString& path, const TFormFields& fields) override
        {
            HttpResult r;
            ++calls;
            if (calls <= 2) {
                r.error = "Connection refused";
                return r;
            }
            if (calls == 3) {
                r.sent = true;
                r.error = "Remote host closed the connection";
                return r;
            }
            return Server::SendForm(path, fields);
        }
    };
    Job j;
    Flaky flaky;
    flaky.formReplies = {"INSERT\r\n"};
    const QString logs = j.dir.filePath("log");
    QDir().mkpath(logs);
    TUploadLog log(logs);
    TLoggingTransport logged(flaky, log);
    EXPECT_TRUE(RunUpload(j.settings, logged, [](const HttpResult&) { return true; }, j.ui, {}).completed);
    EXPECT_EQ(flaky.calls, 8);
    log.Finish();
    EXPECT_EQ(QDir(logs).entryList(QDir::Files, QDir::Name),
              (QStringList{"001_up.txt", "002_dn.txt", "002_up.txt", "003_dn.txt", "003_up.txt", "004_dn.txt",
                           "004_up.txt", "005_dn.txt", "005_up.txt", "006_dn.txt", "006_up.txt"}));
    EXPECT_EQ(ReadBytes(logs + "/001_up.txt"), ReadBytes(logs + "/002_up.txt"));
}

TEST(UploadRun, ALogThatCannotBeWrittenIsReportedByName)
{
    QTemporaryDir dir;
    TUploadLog log(dir.filePath("없는 폴더"));
    TFormFields f;
    f.Set("id", "demo");
    log.WriteRequest(f);
    const QString error = log.LastError();
    EXPECT_TRUE(error.contains("없는 폴더/001_up.txt: ")) << error.toStdString();
    EXPECT_GT(error.size(), QString("없는 폴더/001_up.txt: ").size() + dir.path().size());
}

TEST(UploadRun, StartRepliesDecideWhetherTheRunGoesOn)
{
    {
        Job j;
        j.server.formReplies = {"insert"};
        EXPECT_FALSE(j.Run().startSucceeded);
        EXPECT_EQ(j.server.requests.size(), 1);
        EXPECT_TEXT(j.ui.reports.value(2), "-업로드 방법이 INSERT 혹은 UPDATE가 아닙니다 ... insert");
    }
    {
        Job j;
        j.server.formReplies = {"UPDATE"};
        const TUploadRunResult r = j.Run([](QStringList&) { return false; });
        EXPECT_FALSE(r.completed);
        EXPECT_EQ(j.server.requests.size(), 1);
        EXPECT_TEXT(j.ui.reports.value(4), "데이터 업로드를 취소했습니다.");
    }
    {
        Job j;
        j.server.formReplies = {"UPDATE"};
        const TUploadRunResult r = j.Run([](QStringList& note) { return note = QStringList{"고침", "둘"}, true; });
        EXPECT_TRUE(r.completed);
        EXPECT_TEXT(j.server.requests.last(), UploadCompletePath + "?" + Product + "&p_update=%uACE0%uCE68%0D%0A%uB458%0D%0A");
    }
}

TEST(UploadRun, RefusedRecordStopsTheRunWithItsMessage)
{
    Job j;
    j.server.formReplies = {"INSERT", "OK", "기록 오류: 중복"};
    const TUploadRunResult r = j.Run();
    EXPECT_TRUE(r.startSucceeded);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(j.server.requests.size(), 3);
    EXPECT_EQ(j.ui.infos, QStringList{FormReplyErrorMessage("기록 오류: 중복")});
    EXPECT_FALSE(j.ui.reports.contains(UploadDoneReport));
}

// Records are read ahead of the sending: a failure shows its message at its own record, after
// every record before it went out, and nothing after it is sent.
TEST(UploadRun, AnUnreadableArticleStopsTheRunAtItsRecord)
{
    Job j;
    WriteBytes(j.dir.filePath("본문.idx"), Utf16File({"1", "1", "가 나", "2", "1", "A&B", "3", "1", "셋"}));
    WriteBytes(j.dir.filePath("work_본문/3.txt"), Utf16File({"<h1>셋</h1>", "y"}));
    QFile::remove(j.dir.filePath("work_본문/2.txt"));
    j.server.formReplies = {"INSERT"};
    const TUploadRunResult r = j.Run();
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(j.server.requests.size(), 3); // start, header, article 1
    ASSERT_EQ(j.ui.infos.size(), 1);
    EXPECT_TRUE(j.ui.infos[0].endsWith("2.txt: 지정하신 파일을 열 수 없습니다.")) << j.ui.infos[0].toStdString();
    EXPECT_EQ(j.ui.reports.last(), "본문 - 1 가 나");
}

TEST(UploadRun, CancelStopsAfterTheCurrentRequest)
{
    // Cancels as the first article's request goes out.
    class Cancelling : public Server {
    public:
        RecordingInteraction* ui = nullptr;
        HttpResult SendForm(const QString& path, const TFormFields& fields) override
        {
            if (requests.size() == 2)
                ui->stop = true;
            return Server::SendForm(path, fields);
        }
    };
    Job j;
    Cancelling server;
    server.ui = &j.ui;
    server.formReplies = {"INSERT"};
    const TUploadRunResult r = j.Run({}, &server);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(server.requests.size(), 3);
    EXPECT_TRUE(j.ui.questions.isEmpty()); // the window asked before it set the flag
}

TEST(UploadRun, LinksPageImagesAndImageFiles)
{
    Job j;
    j.job.TabsLink[0] = "본문";
    j.job.srcImage = "Y";
    j.job.insImage = "Y";
    j.settings.linkedTabs = {{0, 0}};
    j.settings.sourceImageArid = "555";
    WriteBytes(j.dir.filePath("본문_connect.txt"), Utf16File({"-", "2", "-"}));
    WriteBytes(j.dir.filePath("본문_images.txt"), Utf16File({"-", "-", "p1.jpg", "p2.jpg", "-", "-"}));
    for (const QString name : {"images/p1.jpg", "images/p2.jpg", "img/a.JPG", "img/sub/b.jpg"})
        WriteBytes(j.dir.filePath(name), "jpeg");
    j.settings.sourceImages = SourceImageFiles(j.dir.path());
    j.server.formReplies = {"INSERT"};
    EXPECT_TRUE(j.Run().completed);
    const QStringList tail = j.server.requests.mid(4);
    EXPECT_EQ(tail, (QStringList{
                        UploadTabLinkPath + "?" + Id +
                            "&tabLink=p_id=9001^tran_ar_id=101^tran_content_number=2^tran_page_number=1"
                            "^ori_ar_id=101^ori_content_number=3^ori_page_number=2",
                        UploadPageImagePath + "?" + Id + "&arid=555&pageNumber=1&wImage=images/p1%2Ejpg%7Cimages/p2%2Ejpg",
                        UploadFilePath + "?img/|a.JPG",
                        UploadFilePath + "?img/sub|b.jpg",
                        UploadFilePath + "?img|p1.jpg",
                        UploadFilePath + "?img|p2.jpg",
                        UploadCompletePath + "?" + Product,
                    }));
    EXPECT_TRUE(j.ui.reports.contains("(2/2) sub/b.jpg"));
    EXPECT_TRUE(j.ui.reports.contains("이미지 사이즈: 8"));

    // With the image option off both file phases say so and the run still completes.
    Job k;
    k.job.insImage = "Y";
    k.settings.sendImages = false;
    k.server.formReplies = {"INSERT"};
    EXPECT_TRUE(k.Run().completed);
    EXPECT_TRUE(k.ui.reports.contains("이미지 전송을 선택하지 않아 삽입 이미지를 전송하지 않습니다."));
    EXPECT_FALSE(k.server.Paths().contains(UploadFilePath));
}

TEST(UploadRun, PaneLinesAndThousands)
{
    EXPECT_EQ(MessagePaneLines("-시작"), (QStringList{QString(40, '-'), "시작"}));
    EXPECT_EQ(MessagePaneLines("-"), (QStringList{QString(40, '-'), ""}));
    EXPECT_EQ(MessagePaneLines("a-b"), QStringList{"a-b"});
    EXPECT_EQ(WithThousands(0), "0");
    EXPECT_EQ(WithThousands(999), "999");
    EXPECT_EQ(WithThousands(1234567), "1,234,567");
}

} // namespace
