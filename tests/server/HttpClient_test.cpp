#include "server/FakeServer.h"
#include "server/HttpClient.h"
#include "common/TestSupport.h"
#include "shell/TextFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QByteArray Cp949(const QString& s) { return EncodeCp949(s); }

TEST(FormFields, SetReplacesInPlaceAndEmptyValuesAreLeftOut)
{
    TFormFields f = IdentityFields("kim", "pw1");
    f.Set("pID", "9001");
    f.Set("memo", "");
    f.Set("id", "lee");
    EXPECT_EQ(BuildFormBody(f, FormEncoding::Encoded), QByteArray("id=lee&pw=pw1&pID=9001"));
    f.Set("memo", "x");
    EXPECT_EQ(BuildFormBody(f, FormEncoding::Encoded), QByteArray("id=lee&pw=pw1&pID=9001&memo=x"));
}

TEST(FormFields, EncodedFormCharacterTable)
{
    struct Case {
        QString value;
        QByteArray wire;
    } cases[] = {
        {"abcXYZ019", "abcXYZ019"},
        {"a b", "a%20b"},
        {"p#w", "p%23w"},
        {"*%<>[]", "%2A%25%3C%3E%5B%5D"},
        {"&=+?/!~'\"(){}|^`@$,;:", "&=+?/!~'\"(){}|^`@$,;:"},
        {"\r\n\t", "%0D%0A%09"},
        {QString(QChar(0x7F)), "%7F"},
        {QString(QChar(0x80)), "%C2%80"},
        {"한", "%ED%95%9C"},
        {"ＡＢ", "%EF%BC%A1%EF%BC%A2"},
        {QString::fromUcs4(U"\U0001F600"), "%F0%9F%98%80"},
        {"%41", "%2541"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EncodeFormValue(c.value), c.wire) << c.value.toStdString();
}

TEST(FormFields, PreEscapedValuesGoOutUnchanged)
{
    TFormFields f = IdentityFields("kim", "a%20b");
    f.Set("text", "%uD55C/x");
    EXPECT_EQ(BuildFormBody(f, FormEncoding::PreEscaped), QByteArray("id=kim&pw=a%20b&text=%uD55C/x"));
}

TEST(ReplyDecoding, CharsetAndFallbacks)
{
    const QString korean = QStringLiteral("데모 작업자|1");
    EXPECT_EQ(DecodeReplyBody(Cp949(korean), "text/html; charset=euc-kr"), korean);
    EXPECT_EQ(DecodeReplyBody(Cp949(korean), "text/html; charset=\"ks_c_5601-1987\""), korean);
    EXPECT_EQ(DecodeReplyBody(korean.toUtf8(), "text/plain;charset=UTF-8"), korean);
    // Without a charset: UTF-8 when it is valid UTF-8, else code page 949.
    EXPECT_EQ(DecodeReplyBody(korean.toUtf8(), "text/html"), korean);
    EXPECT_EQ(DecodeReplyBody(Cp949(korean), "text/html"), korean);
    EXPECT_EQ(DecodeReplyBody(Cp949(korean), ""), korean);
    // An unknown charset name is treated like none.
    EXPECT_EQ(DecodeReplyBody(Cp949(korean), "text/html; charset=x-no-such"), korean);
    EXPECT_EQ(DecodeReplyBody("\xEF\xBB\xBFOK", ""), QString("OK"));
}

class HttpClientTest : public ::testing::Test {
protected:
    FakeServer server;
    THttpClient client;
    void SetUp() override { client.SetBaseURL(server.BaseURL() + "/"); }
};

TEST_F(HttpClientTest, FormPostBytesOnTheWire)
{
    server.On("/ASP/vx__use_staff.asp", FakeReply::Text("ok"));
    TFormFields f = IdentityFields(" kim ", "p#ss word");
    f.Set("pID", "9001");
    const HttpResult r = client.PostForm("/ASP/vx__use_staff.asp", f);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    ASSERT_EQ(server.requests.size(), 1);
    const FakeRequest& q = server.requests[0];
    EXPECT_TRUE(q.head.startsWith("POST /ASP/vx__use_staff.asp HTTP/1.1\r\n"));
    EXPECT_EQ(q.Header("Accept"), QByteArray("text/html, */*"));
    EXPECT_EQ(q.Header("User-Agent"), QByteArray("Mozilla/3.0 (compatible; Indy Library)"));
    EXPECT_EQ(q.Header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    EXPECT_EQ(q.Header("Host"), ("127.0.0.1:" + QString::number(server.Port())).toLatin1());
    EXPECT_EQ(q.Header("Authorization"), QByteArray());
    EXPECT_EQ(q.Header("Accept-Encoding"), QByteArray("identity"));
    EXPECT_EQ(q.body, QByteArray("id=%20kim%20&pw=p%23ss%20word&pID=9001"));
    EXPECT_EQ(q.Header("Content-Length"), QByteArray::number(q.body.size()));
}

TEST_F(HttpClientTest, OneFieldListServesSeveralRequestsWithoutDoubleEncoding)
{
    server.On("/a", FakeReply::Text("1"));
    server.On("/b", FakeReply::Text("2"));
    const TFormFields f = IdentityFields("kim", "50% #off");
    client.PostForm("/a", f);
    client.PostForm("/b", f);
    ASSERT_EQ(server.requests.size(), 2);
    EXPECT_EQ(server.requests[0].body, QByteArray("id=kim&pw=50%25%20%23off"));
    EXPECT_EQ(server.requests[1].body, server.requests[0].body);
}

TEST_F(HttpClientTest, CookiesComeBackForTheSameClientOnly)
{
    FakeReply withCookie = FakeReply::Text("1");
    withCookie.extraHeaders << "Set-Cookie: ASPSESSION=abc; path=/";
    server.On("/a", withCookie);
    server.On("/b", FakeReply::Text("2"));
    client.PostForm("/a", IdentityFields("k", "p"));
    client.PostForm("/b", IdentityFields("k", "p"));
    THttpClient other;
    other.SetBaseURL(server.BaseURL());
    other.PostForm("/b", IdentityFields("k", "p"));
    ASSERT_EQ(server.requests.size(), 3);
    EXPECT_EQ(server.requests[1].Header("Cookie"), QByteArray("ASPSESSION=abc"));
    EXPECT_EQ(server.requests[2].Header("Cookie"), QByteArray());
}

TEST_F(HttpClientTest, RepliesDecodedAndSplitIntoLines)
{
    const QString text = QStringLiteral("OK\r\n1^9001^데모 도서\n2^9002^둘째\rend");
    server.On("/euc", FakeReply::Text(Cp949(text), "text/html; charset=euc-kr"));
    server.On("/none", FakeReply::Text(Cp949(text), "text/html"));
    server.On("/empty", FakeReply::Text(""));
    for (const char* path : {"/euc", "/none"}) {
        const HttpResult r = client.PostForm(path, IdentityFields("k", "p"));
        ASSERT_TRUE(r.ok) << path;
        EXPECT_EQ(r.text, text) << path;
        EXPECT_EQ(r.Lines(), QStringList({"OK", "1^9001^데모 도서", "2^9002^둘째", "end"})) << path;
    }
    const HttpResult e = client.PostForm("/empty", IdentityFields("k", "p"));
    EXPECT_TRUE(e.ok);
    EXPECT_TRUE(e.text.isEmpty());
    EXPECT_TRUE(e.Lines().isEmpty());
}

TEST_F(HttpClientTest, FailuresAreReportedNotSwallowed)
{
    FakeReply error500 = FakeReply::Text("server trouble");
    error500.status = 500;
    FakeReply cut = FakeReply::Text("OK\r\nmany lines of data that never fully arrive\r\nend");
    cut.mode = FakeReply::CutBody;
    FakeReply garbage;
    garbage.mode = FakeReply::Raw;
    garbage.body = "\x01\x02 this is not HTTP at all\r\n\r\n";
    FakeReply closed;
    closed.mode = FakeReply::Raw; // closes without a byte
    server.On("/500", error500);
    server.On("/cut", cut);
    server.On("/garbage", garbage);
    server.On("/closed", closed);
    for (const char* path : {"/500", "/cut", "/garbage", "/closed", "/missing"}) {
        const HttpResult r = client.PostForm(path, IdentityFields("k", "p"));
        EXPECT_FALSE(r.ok) << path;
        EXPECT_FALSE(r.error.isEmpty()) << path;
        EXPECT_FALSE(r.aborted) << path;
    }
    EXPECT_EQ(client.PostForm("/500", {}).status, 500);

    // Nobody listens on a port that was just closed.
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    client.SetBaseURL(QStringLiteral("http://127.0.0.1:%1").arg(port));
    const HttpResult refused = client.PostForm("/x", IdentityFields("k", "p"));
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.status, 0);
    EXPECT_FALSE(refused.error.isEmpty());
}

// Records go one after another over one connection whose socket sends without Nagle delay; a
// kept connection the server closed meanwhile is replaced without sending anything twice.
TEST_F(HttpClientTest, OneKeptConnectionWithoutNagleDelay)
{
    FakeReply keep = FakeReply::Text("OK", "text/plain");
    keep.mode = FakeReply::KeepAlive;
    server.On("/k", keep);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(client.PostForm("/k", IdentityFields("k", QString::number(i))).ok) << i;
    EXPECT_EQ(server.connections, 1);
    const QList<QTcpSocket*> sockets = client.findChildren<QTcpSocket*>();
    ASSERT_EQ(sockets.size(), 1);
    EXPECT_EQ(sockets[0]->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);

    FakeReply quiet = FakeReply::Text("OK", "text/plain");
    quiet.mode = FakeReply::QuietClose;
    server.On("/q", quiet);
    ASSERT_TRUE(client.PostForm("/q", IdentityFields("k", "q")).ok);
    // The server's close reaches the kept socket, or it does not yet: both must work.
    QEventLoop pause;
    QTimer::singleShot(50, &pause, &QEventLoop::quit);
    pause.exec();
    const HttpResult after = client.PostForm("/k", IdentityFields("k", "after"));
    EXPECT_TRUE(after.ok) << after.error.toStdString();
    ASSERT_EQ(server.requests.size(), 5);
    EXPECT_EQ(server.requests[4].body, QByteArray("id=k&pw=after"));
}

// Replies framed every way HTTP/1.x allows, and a few that are no reply at all.
TEST_F(HttpClientTest, ReplyFramings)
{
    struct Case {
        const char* path;
        QByteArray raw;
        bool ok;
        QString text;
    } cases[] = {
        {"/chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: text/plain\r\n\r\n"
                     "3\r\nOK\n\r\n5;x=y\r\nline2\r\n0\r\nX-Trailer: 1\r\n\r\n", true, "OK\nline2"},
        {"/close", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nOK until the end", true, "OK until the end"},
        {"/continue", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK", true, "OK"},
        {"/lf", "HTTP/1.1 200 OK\nContent-Length: 3\n\n오", true, "오"},
        {"/badchunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false, ""},
        {"/badlength", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", false, ""},
        {"/shortchunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nOK", false, ""},
    };
    for (const Case& c : cases) {
        FakeReply raw;
        raw.mode = FakeReply::Raw;
        raw.body = c.raw;
        server.On(c.path, raw);
        const HttpResult r = client.PostForm(c.path, IdentityFields("k", "p"));
        EXPECT_EQ(r.ok, c.ok) << c.path << " " << r.error.toStdString();
        if (c.ok)
            EXPECT_EQ(r.text, c.text) << c.path;
        else
            EXPECT_FALSE(r.error.isEmpty()) << c.path;
    }
}

// A form posted to a moved address is fetched from the new one, as a GET after 302.
TEST_F(HttpClientTest, RedirectIsFollowed)
{
    FakeReply moved;
    moved.mode = FakeReply::Raw;
    moved.body = "HTTP/1.1 302 Found\r\nLocation: /new\r\nContent-Length: 0\r\n\r\n";
    server.On("/old", moved);
    server.On("/new", FakeReply::Text("moved here"));
    const HttpResult r = client.PostForm("/old", IdentityFields("k", "p"));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.text, QString("moved here"));
    ASSERT_EQ(server.requests.size(), 2);
    EXPECT_EQ(server.requests[1].method, QByteArray("GET"));
    EXPECT_EQ(server.requests[1].path, QByteArray("/new"));
}

TEST_F(HttpClientTest, ReadTimeoutAndAbort)
{
    FakeReply silent;
    silent.mode = FakeReply::Silent;
    server.On("/silent", silent);

    client.SetReadTimeout(200);
    const HttpResult t = client.Get("/silent");
    EXPECT_FALSE(t.ok);
    EXPECT_TRUE(t.timedOut);

    client.SetReadTimeout(0);
    QTimer::singleShot(100, &client, [this] { client.Abort(); });
    const HttpResult a = client.Get("/silent");
    EXPECT_FALSE(a.ok);
    EXPECT_TRUE(a.aborted);
}

TEST_F(HttpClientTest, MultipartBody)
{
    server.On("/ASP/vx__use_fileup.asp", FakeReply::Text("OK"));
    TFormFields f = IdentityFields("kim", "pw");
    f.Set("pID", "9001");
    f.Set("imageFolder", "img/");
    f.Set("skipped", "");
    const QByteArray jpeg("\xFF\xD8\x00\r\n--x\xFF\xD9", 10);
    const HttpResult r = client.PostMultipart("/ASP/vx__use_fileup.asp", f, "file", "사진.jpg", jpeg,
                                              "multipart/form-data");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.text.trimmed(), QString("OK"));
    const FakeRequest& q = server.requests.at(0);
    const QByteArray ct = q.Header("Content-Type");
    ASSERT_TRUE(ct.startsWith("multipart/form-data; boundary="));
    const QByteArray b = ct.mid(QByteArray("multipart/form-data; boundary=").size());
    const QByteArray expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"id\"\r\n\r\nkim\r\n"
                              + "--" + b + "\r\nContent-Disposition: form-data; name=\"pw\"\r\n\r\npw\r\n"
                              + "--" + b + "\r\nContent-Disposition: form-data; name=\"pID\"\r\n\r\n9001\r\n"
                              + "--" + b + "\r\nContent-Disposition: form-data; name=\"imageFolder\"\r\n\r\nimg/\r\n"
                              + "--" + b + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\""
                              + QString("사진.jpg").toUtf8() + "\"\r\nContent-Type: multipart/form-data\r\n\r\n"
                              + jpeg + "\r\n--" + b + "--\r\n";
    EXPECT_EQ(q.body, expected);
}

TEST_F(HttpClientTest, GetIntoFileIsAllOrNothing)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("VuxMetaInfo.txt");
    ASSERT_TRUE(WriteBytes(target, "previous"));

    FakeReply cut = FakeReply::Text(QByteArray(20000, 'x'), "text/plain");
    cut.mode = FakeReply::CutBody;
    FakeReply e404 = FakeReply::Text("missing");
    e404.status = 404;
    server.On("/cut", cut);
    server.On("/404", e404);
    server.On("/good", FakeReply::Text(QByteArray(20000, 'y'), "text/plain"));

    QList<qint64> begins;
    qint64 last = 0;
    int ends = 0;
    QObject::connect(&client, &THttpClient::WorkBegin, [&](qint64 n) { begins << n; });
    QObject::connect(&client, &THttpClient::Work, [&](qint64 n) { last = n; });
    QObject::connect(&client, &THttpClient::WorkEnd, [&] { ++ends; });

    for (const char* path : {"/cut", "/404"}) {
        EXPECT_FALSE(client.GetToFile(path, target).ok) << path;
        EXPECT_EQ(ReadBytes(target), QByteArray("previous")) << path;
    }
    const HttpResult good = client.GetToFile("/good", target);
    ASSERT_TRUE(good.ok) << good.error.toStdString();
    EXPECT_EQ(ReadBytes(target), QByteArray(20000, 'y'));
    EXPECT_EQ(begins.last(), 20000);
    EXPECT_EQ(last, 20000);
    EXPECT_EQ(ends, 3);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"VuxMetaInfo.txt"});

    const HttpResult text = client.Get("/good");
    EXPECT_EQ(text.body.size(), 20000);
}

TEST_F(HttpClientTest, WorksOnAWorkerThread)
{
    server.On("/w", FakeReply::Text(QString("작업|1").toUtf8()));
    HttpResult r;
    const QString base = server.BaseURL();
    QThread* worker = QThread::create([&] {
        THttpClient own;
        own.SetBaseURL(base);
        r = own.PostForm("/w", IdentityFields("k", "p"));
    });
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(); // this thread keeps serving meanwhile
    worker->wait();
    delete worker;
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.text, QString("작업|1"));
}

} // namespace
