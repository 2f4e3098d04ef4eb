// The upload under network faults, and its requests as they go over the wire. A proxy in the
// test's own thread sits between the run and a quilo-server child; it refuses connections, cuts
// requests, loses replies, answers 500 or "ERROR", or answers late; afterwards the server's
// database must hold each record once and whole. Without a server behind it, the same proxy
// captures the raw requests.
#include "jobs/JobLayout.h"
#include "upload/UploadRun.h"

#include "common/TestSupport.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
#include "tagging/PageInfo.h"
#include "common/RefServerProcess.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

namespace {

#define EXPECT_TEXT(a, b) EXPECT_EQ(QString(a).toStdString(), QString(b).toStdString())
#define EXPECT_BYTES(a, b) EXPECT_EQ(QByteArray(a).toStdString(), QByteArray(b).toStdString())

void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

enum class Fault {
    Cut,       // the server gets the head and half the body, then the connection ends
    LoseReply, // the server gets it all and answers; the client's connection drops instead
    Fail500,   // the server gets it all; the client is told "HTTP/1.1 500"
    Error,     // the client is told "ERROR: injected"; the server never sees it
    Slow,      // the server's reply reaches the client 1.2 s late
};

struct FaultRule {
    QString path;
    int from = 1;  // the first attempt on that path it hits (1-based, resends counted)
    int times = 1; // how many attempts in a row
    Fault fault = Fault::Cut;
};

struct Request {
    QByteArray head; // request line and headers, up to and with the blank line
    QByteArray body;
    QString path;

    QByteArray Header(const QByteArray& name) const
    {
        for (const QByteArray& line : head.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

// Splits one complete HTTP message (head + Content-Length body) off the front of `buffer`.
bool TakeMessage(QByteArray& buffer, QByteArray& head, QByteArray& body)
{
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    Request r;
    r.head = buffer.left(end + 4);
    const qsizetype length = r.Header("Content-Length").toLongLong();
    if (buffer.size() < end + 4 + length)
        return false;
    head = r.head;
    body = buffer.mid(end + 4, length);
    buffer.remove(0, end + 4 + length);
    return true;
}

QByteArray HttpReply(int status, const QByteArray& body)
{
    return "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Internal Server Error")
           + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " + QByteArray::number(body.size())
           + "\r\n\r\n" + body;
}

// Relays each request on a fresh connection to the server, applying the rules; without a server
// (upstream 0) it answers every request itself: `startReply` to the start, "OK" to the rest.
class FaultProxy {
public:
    explicit FaultProxy(quint16 upstream = 0) : m_upstream(upstream)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { Accept(); });
    }
    ~FaultProxy() { Down(); }

    QList<FaultRule> rules;
    QList<Request> requests; // every attempt as it arrived
    QByteArray startReply = "INSERT\r\n";

    // Listens again on the same port after Down().
    bool Up()
    {
        if (!m_server.listen(QHostAddress::LocalHost, m_port))
            return false;
        m_port = m_server.serverPort();
        return true;
    }
    // Nobody listens any more and every open connection drops.
    void Down()
    {
        m_server.close();
        for (const auto& c : m_clients)
            if (c)
                c->abort();
        m_clients.clear();
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    int Attempts(const QString& path) const { return m_attempts.value(path); }

private:
    QTcpServer m_server;
    quint16 m_upstream;
    quint16 m_port = 0;
    QList<QPointer<QTcpSocket>> m_clients;
    QMap<QString, int> m_attempts;

    void Accept()
    {
        while (QTcpSocket* client = m_server.nextPendingConnection()) {
            m_clients << client;
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QTcpSocket::readyRead, client, [this, client, buffer] {
                buffer->append(client->readAll());
                Request r;
                while (TakeMessage(*buffer, r.head, r.body)) {
                    r.path = QString::fromLatin1(r.head.split(' ').value(1));
                    Handle(client, r);
                }
            });
        }
    }

    std::optional<Fault> FaultFor(const QString& path, int attempt) const
    {
        for (const FaultRule& rule : rules)
            if (rule.path == path && attempt >= rule.from && attempt < rule.from + rule.times)
                return rule.fault;
        return std::nullopt;
    }

    void Handle(QTcpSocket* client, const Request& r)
    {
        requests << r;
        const std::optional<Fault> fault = FaultFor(r.path, ++m_attempts[r.path]);
        if (m_upstream == 0) {
            client->write(HttpReply(200, r.path == UploadStartPath ? startReply : QByteArray("OK\r\n")));
            return;
        }
        if (fault == Fault::Error) {
            client->write(HttpReply(200, "ERROR: injected\r\n"));
            return;
        }
        QByteArray out = r.head + r.body;
        if (fault == Fault::Cut)
            out.truncate(r.head.size() + r.body.size() / 2);
        QPointer<QTcpSocket> peer(client);
        auto* up = new QTcpSocket(&m_server);
        auto reply = std::make_shared<QByteArray>();
        QObject::connect(up, &QTcpSocket::connected, up, [up, out, fault, peer] {
            up->write(out);
            if (fault == Fault::Cut) {
                // The half request goes out, then the connection ends under it.
                up->disconnectFromHost();
                if (peer)
                    peer->abort();
            }
        });
        QObject::connect(up, &QTcpSocket::disconnected, up, &QObject::deleteLater);
        QObject::connect(up, &QTcpSocket::errorOccurred, up, [up](QAbstractSocket::SocketError) { up->deleteLater(); });
        QObject::connect(up, &QTcpSocket::readyRead, up, [up, reply, fault, peer] {
            reply->append(up->readAll());
            QByteArray head, body;
            if (!TakeMessage(*reply, head, body))
                return;
            up->disconnectFromHost();
            if (!peer)
                return;
            if (fault == Fault::LoseReply)
                peer->abort();
            else if (fault == Fault::Fail500)
                peer->write(HttpReply(500, "ERROR: injected failure\r\n"));
            else if (fault == Fault::Slow)
                QTimer::singleShot(1200, peer, [peer, message = head + body] { peer->write(message); });
            else
                peer->write(head + body);
        });
        up->connectToHost(QHostAddress::LocalHost, m_upstream);
    }
};

// The inverse of the upload escaping, written from the rule rather than from the encoder.
QString Unescape(const QByteArray& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size();) {
        if (value[i] != '%') {
            out += QLatin1Char(value[i++]);
        } else if (value.mid(i + 1, 1) == "u") {
            out += QChar(char16_t(value.mid(i + 2, 4).toUInt(nullptr, 16)));
            i += 6;
        } else {
            out += QChar(char16_t(value.mid(i + 1, 2).toUInt(nullptr, 16)));
            i += 3;
        }
    }
    return out;
}

// Two tabs: "본문" with an article, a page of it and a second article (page file, source image
// links), "번역" with one article linked to "본문"; source images and inserted images, one of them
// in a sub-folder, one large enough to be cut in the middle.
struct DemoJob {
    QTemporaryDir dir;
    TJobDefine job;
    TVUX_codes codes;
    QList<TvuxSchOption> options;
    TUploadSettings settings;
    QMap<QString, qint64> fileSizes; // folder + "/" + name as the server keeps them

    DemoJob()
    {
        const QString seed = RefServerProcess::Seed();
        QStringList columns, codeRows;
        ReadTextLines(seed + "/VuxMetaInfo.txt", columns);
        ReadTextLines(seed + "/codetable.tsv", codeRows);
        codes.BuildColumns(columns);
        codes.BuildCodes(codeRows);

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
        WriteBytes(dir.filePath("본문.idx"),
                   Utf16File({"1", "1", "가 나/1.jpg", "1_1", "2", "(page 2)", "2", "1", "A&B 둘째 😀"}));
        WriteBytes(dir.filePath("work_본문/1.txt"), Utf16File({"<h1>가 나/1.jpg</h1>", "본문 & <b>끝</b> 100%"}));
        WriteBytes(dir.filePath("work_본문/1_1.txt"), Utf16File({"<h2>(page 2)</h2>", "둘째 쪽"}));
        WriteBytes(dir.filePath("work_본문/2.txt"), Utf16File({"<h1>A&B 둘째 😀</h1>", "x=1+2; \"q\" <i>'s'</i>"}));
        WriteBytes(dir.filePath("본문_pageinfo.txt"), Utf16File({"Main", "Main", "page", "Main"}));
        WriteBytes(dir.filePath("번역.idx"), Utf16File({"1", "1", "번역 하나"}));
        WriteBytes(dir.filePath("work_번역/1.txt"), Utf16File({"<h1>번역 하나</h1>", "translation"}));
        WriteBytes(dir.filePath("번역_connect.txt"), Utf16File({"-", "1"}));
        WriteBytes(dir.filePath("본문_images.txt"), Utf16File({"-", "-", "0001.jpg", "0002.jpg"}));
        const struct {
            const char* path;
            const char* stored;
            int size;
        } files[] = {{"images/0001.jpg", "img/0001.jpg", 50},
                     {"images/0002.jpg", "img/0002.jpg", 70000},
                     {"img/그림.JPG", "img/그림.JPG", 300000},
                     {"img/sub/b.jpg", "img/sub/b.jpg", 1000}};
        for (const auto& f : files) {
            QByteArray bytes(f.size, '\0');
            for (int i = 0; i < f.size; ++i)
                bytes[i] = char((i * 7 + f.size) & 0xFF);
            WriteBytes(dir.filePath(QString::fromUtf8(f.path)), bytes);
            fileSizes[QString::fromUtf8(f.stored)] = f.size;
        }

        settings.job = &job;
        settings.codes = &codes;
        settings.options = &options;
        settings.loginId = "demo";
        settings.loginPw = "demo";
        settings.selected.fill(true);
        settings.linkedTabs = {{1, 0}};
        settings.sourceImageArid = "101";
        settings.sourceImages = SourceImageFiles(dir.path());
        settings.contentBaseUrl = "http://content.example";
    }
};

// What the server must hold for each record, in the order the run sends them.
struct ExpectedRecord {
    QString key; // ar_id/content/page, "h" for a tab header
    QString title;
    QString html;
};

QList<ExpectedRecord> ExpectedRecords(const DemoJob& d)
{
    QList<ExpectedRecord> out;
    RecordingInteraction ui;
    for (int tab = 0; tab < d.job.TabsCount; ++tab) {
        const QString id = d.job.TabsID[size_t(tab)];
        out << ExpectedRecord{id + "/1/1/h", TabHeaderTitle(d.job, tab), {}};
        TArticleTree tree;
        std::vector<int> numbers;
        EXPECT_TRUE(LoadArticleTree(d.job, tab, tree, ui));
        EXPECT_TRUE(LoadContentNumbers(PageInfoFileName(d.job, tab), tree, numbers));
        for (int j = 1; j < tree.count(); ++j) {
            QString html;
            EXPECT_TRUE(BuildArticleHtml(d.job, tab, tree, j, ui, html));
            out << ExpectedRecord{QStringLiteral("%1/%2/%3").arg(id).arg(numbers[size_t(j)]).arg(j),
                                  ArticleTitle(tree, j), html};
        }
    }
    return out;
}

struct StoredRecord {
    qint64 run = 0;
    QString key;
    QString title;
    QString html;
};

struct Stored {
    QList<QPair<qint64, QString>> runs; // id, state
    QList<StoredRecord> records;
    QMap<QString, qint64> files;
    int tabLinks = 0;
    int imageLinks = 0;
};

// Opens the server's database read-only, the way an auditor would look at it.
Stored ReadStored(const QString& dbPath)
{
    Stored s;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << dbPath.toStdString() << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return s;
    }
    auto text = [](sqlite3_stmt* st, int c) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        return QString::fromUtf8(p, sqlite3_column_bytes(st, c));
    };
    auto query = [&](const char* sql, const std::function<void(sqlite3_stmt*)>& row) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
            return;
        }
        while (sqlite3_step(st) == SQLITE_ROW)
            row(st);
        sqlite3_finalize(st);
    };
    query("SELECT id, state FROM runs ORDER BY id",
          [&](sqlite3_stmt* st) { s.runs << qMakePair(qint64(sqlite3_column_int64(st, 0)), text(st, 1)); });
    query("SELECT run_id, ar_id, content_number, page_number, is_header, title, html FROM records ORDER BY id",
          [&](sqlite3_stmt* st) {
              const QString key = QStringLiteral("%1/%2/%3").arg(text(st, 1)).arg(sqlite3_column_int64(st, 2)).arg(
                                      sqlite3_column_int64(st, 3))
                                  + (sqlite3_column_int(st, 4) ? "/h" : "");
              s.records << StoredRecord{sqlite3_column_int64(st, 0), key, text(st, 5), text(st, 6)};
          });
    query("SELECT folder, name, size FROM files",
          [&](sqlite3_stmt* st) { s.files[text(st, 0) + "/" + text(st, 1)] = sqlite3_column_int64(st, 2); });
    query("SELECT COUNT(*) FROM tab_links", [&](sqlite3_stmt* st) { s.tabLinks = sqlite3_column_int(st, 0); });
    query("SELECT COUNT(*) FROM image_links", [&](sqlite3_stmt* st) { s.imageLinks = sqlite3_column_int(st, 0); });
    sqlite3_close(db);
    return s;
}

QString Dump(const QMap<QString, qint64>& sizes)
{
    QStringList out;
    for (auto it = sizes.begin(); it != sizes.end(); ++it)
        out << it.key() + "=" + QString::number(it.value());
    return out.join(" ");
}

// The last run holds the first `kept` records once each, whole; no record of another run is
// left; a completed run also holds every file at its full size and the links.
void ExpectStored(const QString& dataDir, const DemoJob& d, const QList<ExpectedRecord>& expected, bool completed,
                  int kept)
{
    const Stored s = ReadStored(dataDir + "/quilo.db");
    ASSERT_FALSE(s.runs.isEmpty());
    const qint64 run = s.runs.last().first;
    EXPECT_EQ(s.runs.last().second, completed ? "completed" : "open");
    QStringList keys;
    for (const StoredRecord& got : s.records) {
        SCOPED_TRACE(got.key.toStdString());
        EXPECT_EQ(got.run, run) << "a record outside the last run";
        EXPECT_FALSE(keys.contains(got.key)) << "stored twice";
        keys << got.key;
        const auto want = std::find_if(expected.begin(), expected.end(),
                                       [&](const ExpectedRecord& e) { return e.key == got.key; });
        ASSERT_NE(want, expected.end());
        EXPECT_TEXT(got.title, want->title);
        EXPECT_TEXT(got.html, want->html);
    }
    QStringList first;
    for (int i = 0; i < kept; ++i)
        first << expected[i].key;
    keys.sort();
    first.sort();
    EXPECT_TEXT(keys.join(" "), first.join(" "));
    if (completed) {
        EXPECT_TEXT(Dump(s.files), Dump(d.fileSizes));
        EXPECT_EQ(s.tabLinks, 1);
        EXPECT_EQ(s.imageLinks, 1);
    }
}

struct FaultCase {
    const char* name;
    QList<FaultRule> rules;
    bool downAtStart = false; // nobody listens until the second wait
    bool stopWait = false;    // the operator stops the first wait
    bool completed = true;
    int recordsKept = 6;      // records the server holds, the first ones sent
    QString message;          // the box the run shows
    int minWaits = 0;
    int maxWaits = 0;
};

TEST(UploadFaults, ServerEndsWithEveryRecordOnceAndWhole)
{
    if (!RefServerProcess::Built())
        GTEST_SKIP() << "quilo-server is not built";
    // Record attempts in send order: 1 header 본문, 2 and 3 its article and the article's page,
    // 4 its second article, 5 header 번역, 6 its article. File attempts: b.jpg, 그림.JPG, 0001, 0002.
    const QString rec = UploadRecordPath;
    const FaultCase cases[] = {
        {"server down at start", {}, true, false, true, 6, {}, 2, 2},
        {"connection cut in the middle of an article", {{rec, 3, 3, Fault::Cut}}, false, false, true, 6, {}, 0, 3},
        {"reply lost after the server stored the article", {{rec, 3, 1, Fault::LoseReply}}, false, false, true, 6,
         {}, 0, 1},
        {"HTTP 500 after the server stored the article", {{rec, 3, 2, Fault::Fail500}}, false, false, true, 6, {}, 2,
         2},
        {"start answered 500, completion reply lost",
         {{UploadStartPath, 1, 1, Fault::Fail500}, {UploadCompletePath, 1, 1, Fault::LoseReply}}, false, false, true,
         6, {}, 1, 2},
        {"image file cut in the middle", {{UploadFilePath, 2, 1, Fault::Cut}}, false, false, true, 6, {}, 0, 1},
        {"slow replies", {{rec, 2, 2, Fault::Slow}, {UploadCompletePath, 1, 1, Fault::Slow}}, false, false, true, 6,
         {}, 0, 0},
        {"ERROR for one record", {{rec, 3, 1, Fault::Error}}, false, false, false, 2,
         QStringLiteral("데이터 전송 오류입니다...\r\n수신 = ERROR: injected"), 0, 0},
        {"wait stopped", {{rec, 3, 99, Fault::Fail500}}, false, true, false, 3, {}, 1, 1},
        {"connection cut, wait stopped", {{rec, 3, 99, Fault::Cut}}, false, true, false, 2, {}, 1, 1},
    };
    DemoJob d;
    const QList<ExpectedRecord> expected = ExpectedRecords(d);
    ASSERT_EQ(expected.size(), 6);

    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        RefServerProcess server;
        QString log;
        const QString url = server.Start(&log);
        ASSERT_FALSE(url.isEmpty()) << log.toStdString();

        FaultProxy proxy(QUrl(url).port());
        proxy.rules = c.rules;
        ASSERT_TRUE(proxy.Up());
        if (c.downAtStart)
            proxy.Down();
        THttpClient forms, files;
        forms.SetBaseURL(proxy.Url());
        files.SetBaseURL(proxy.Url());
        THttpUploadTransport wire(forms, files);
        int waits = 0;
        const TServerWait wait = [&](const HttpResult&) {
            ++waits;
            Spin(20);
            if (c.stopWait || waits > 10)
                return false;
            if (c.downAtStart && waits == 2) {
                EXPECT_TRUE(proxy.Up());
            }
            return true;
        };
        RecordingInteraction ui;
        const TUploadRunResult r = RunUpload(d.settings, wire, wait, ui, {});

        EXPECT_EQ(r.completed, c.completed) << ui.infos.join("\n").toStdString();
        EXPECT_GE(waits, c.minWaits);
        EXPECT_LE(waits, c.maxWaits);
        EXPECT_TEXT(ui.infos.join("\n"), c.message);
        if (c.completed) {
            // Every attempt a fault spoilt was sent again, by the client library or after a wait,
            // and nothing else was; refused connections never arrive.
            const QMap<QString, int> sent{{UploadStartPath, 1}, {rec, 6}, {UploadTabLinkPath, 1},
                                          {UploadPageImagePath, 1}, {UploadFilePath, 4}, {UploadCompletePath, 1}};
            for (auto it = sent.begin(); it != sent.end(); ++it) {
                int spoilt = 0;
                for (const FaultRule& rule : c.rules)
                    if (rule.path == it.key() && rule.fault != Fault::Slow)
                        spoilt += rule.times;
                EXPECT_EQ(proxy.Attempts(it.key()), it.value() + spoilt) << it.key().toStdString();
            }
        }
        if (!c.completed) {
            // Nothing goes out after the refused or failed record but that record again.
            qsizetype third = -1;
            for (qsizetype i = 0, seen = 0; i < proxy.requests.size() && third < 0; ++i)
                if (proxy.requests[i].path == rec && ++seen == 3)
                    third = i;
            ASSERT_GE(third, 0);
            for (qsizetype i = third; i < proxy.requests.size(); ++i)
                EXPECT_TRUE(proxy.requests[i].body == proxy.requests[third].body) << "request " << i;
        }

        ExpectStored(server.DataPath(), d, expected, c.completed, c.recordsKept);
        if (!c.completed) {
            // The operator starts the upload again: the new run's copy replaces what the stopped
            // one left.
            proxy.rules.clear();
            RecordingInteraction again;
            EXPECT_TRUE(RunUpload(d.settings, wire, {}, again, {}).completed) << again.infos.join("\n").toStdString();
            ExpectStored(server.DataPath(), d, expected, true, 6);
        }
    }
}

// The requests of a whole run as the bytes a server receives, checked against the rules of the
// protocol: field order, the escaping, the literal values, and the multipart file parts.
TEST(UploadWire, RequestsAreTheProtocolsBytes)
{
    DemoJob d;
    FaultProxy capture;
    ASSERT_TRUE(capture.Up());
    THttpClient forms, files;
    forms.SetBaseURL(capture.Url());
    files.SetBaseURL(capture.Url());
    THttpUploadTransport wire(forms, files);
    RecordingInteraction ui;
    ASSERT_TRUE(RunUpload(d.settings, wire, {}, ui, {}).completed) << ui.infos.join("\n").toStdString();

    QStringList paths;
    for (const Request& r : capture.requests)
        paths << r.path;
    QStringList order{UploadStartPath};
    for (int i = 0; i < 6; ++i)
        order << UploadRecordPath;
    order << UploadTabLinkPath << UploadPageImagePath;
    for (int i = 0; i < 4; ++i)
        order << UploadFilePath;
    order << UploadCompletePath;
    ASSERT_EQ(paths.join("\n").toStdString(), order.join("\n").toStdString());

    for (const Request& r : capture.requests) {
        SCOPED_TRACE(r.path.toStdString());
        EXPECT_TRUE(r.head.startsWith("POST " + r.path.toLatin1() + " HTTP/1.1\r\n"));
        EXPECT_EQ(r.Header("Content-Length").toLongLong(), r.body.size());
        if (r.path != UploadFilePath) {
            EXPECT_BYTES(r.Header("Content-Type"), "application/x-www-form-urlencoded");
        }
    }

    const QByteArray product = "id=demo&pw=demo&p_id=9001&p_dcode=DEMO01";
    // 데모 도서 본문: product name, a space and the tab name, each character as "%u".
    const QByteArray exact[][2] = {
        {"start", product},
        {"tab header", product + "&ar_id=101&content_number=1&page_number=1"
                                 "&content_detail=%uB370%uBAA8%20%uB3C4%uC11C%20%uBCF8%uBB38"
                                 "&coremeta=has_child=1|parent_number=0"},
        {"tab link", "id=demo&pw=demo&tabLink=p_id=9001^tran_ar_id=102^tran_content_number=2^tran_page_number=1"
                     "^ori_ar_id=101^ori_content_number=2^ori_page_number=1"},
        {"page images", "id=demo&pw=demo&arid=101&pageNumber=1&wImage=images/0001%2Ejpg%7Cimages/0002%2Ejpg"},
        {"completion of a new product", product},
    };
    const int at[] = {0, 1, 7, 8, 13};
    for (int i = 0; i < 5; ++i)
        EXPECT_BYTES(capture.requests[at[i]].body, exact[i][1]) << exact[i][0].constData();

    // The first article: its fields in the protocol's order, the escaped values made of "/",
    // letters, digits and escapes only, and decoding back to what the job renders.
    const QList<QByteArray> pairs = capture.requests[2].body.split('&');
    QByteArrayList names;
    QMap<QByteArray, QByteArray> values;
    for (const QByteArray& p : pairs) {
        const int eq = p.indexOf('=');
        names << p.left(eq);
        values[p.left(eq)] = p.mid(eq + 1);
    }
    EXPECT_BYTES(names.join(','), "id,pw,p_id,p_dcode,ar_id,content_number,page_number,content_detail,page_detail,"
                                  "coremeta");
    EXPECT_BYTES(values["content_number"], "2");
    EXPECT_BYTES(values["page_number"], "1");
    EXPECT_BYTES(values["content_detail"], "%uAC00%20%uB098/1%2Ejpg");
    const QRegularExpression escaped("^(?:[A-Za-z0-9/]|%[0-9A-F]{2}|%u[0-9A-F]{4})*$");
    for (const QByteArray name : {"content_detail", "page_detail", "coremeta"})
        EXPECT_TRUE(escaped.match(QString::fromLatin1(values[name])).hasMatch()) << name.constData();
    const QList<ExpectedRecord> expected = ExpectedRecords(d);
    EXPECT_TEXT(Unescape(values["page_detail"]), expected[1].html);
    EXPECT_TRUE(Unescape(values["page_detail"]).contains("본문 ＆ ")) << "every & arrives full-width";
    EXPECT_FALSE(Unescape(values["page_detail"]).contains('&'));
    // The second article's title leaves the basic plane: two "%u" units for the emoji.
    EXPECT_TRUE(capture.requests[4].body.contains("&content_detail=A%26B%20%uB458%uC9F8%20%uD83D%uDE00&"));

    // The file parts by hand, after RFC 7578: the boundary the Content-Type names, one part per
    // text field with only its Content-Disposition, then the file part with its file name and
    // its own Content-Type, the file's bytes unchanged.
    const struct {
        int request;
        QByteArray folder;
        QByteArray name;
        QString file;
    } fileParts[] = {{9, "img/sub", "b.jpg", "img/sub/b.jpg"},
                     {10, "img/", "그림.JPG", "img/그림.JPG"},
                     {11, "img", "0001.jpg", "images/0001.jpg"},
                     {12, "img", "0002.jpg", "images/0002.jpg"}};
    for (const auto& f : fileParts) {
        const Request& r = capture.requests[f.request];
        SCOPED_TRACE(f.name.toStdString());
        const QByteArray type = r.Header("Content-Type");
        ASSERT_TRUE(type.startsWith("multipart/form-data; boundary="));
        const QByteArray boundary = type.mid(int(strlen("multipart/form-data; boundary=")));
        ASSERT_FALSE(boundary.isEmpty());
        auto field = [&](const QByteArray& name, const QByteArray& value) {
            return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
        };
        const QByteArray want = field("id", "demo") + field("pw", "demo") + field("pID", "9001")
                                + field("imageFolder", f.folder) + "--" + boundary
                                + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + f.name
                                + "\"\r\nContent-Type: multipart/form-data\r\n\r\n" + ReadBytes(d.dir.filePath(f.file))
                                + "\r\n--" + boundary + "--\r\n";
        EXPECT_TRUE(r.body == want) << "multipart body differs";
    }

    // A parser nobody here wrote reads the same parts out of the raw bytes.
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty()) {
        std::printf("python3 is missing: the multipart bodies were checked by hand only\n");
        return;
    }
    const Request& r = capture.requests[10];
    QProcess p;
    // A part that declares itself multipart keeps the CR LF before the next boundary in python's
    // reading, so the file's bytes are compared with that allowance.
    p.start(python, {"-c", "import sys, email, email.policy\n"
                           "raw = sys.stdin.buffer.read()\n"
                           "want = open(sys.argv[1], 'rb').read()\n"
                           "m = email.message_from_bytes(raw, policy=email.policy.HTTP)\n"
                           "for part in m.iter_parts():\n"
                           "    data = part.get_payload(decode=True)\n"
                           "    same = data[:len(want)] == want and data[len(want):] in (b'', b'\\r\\n')\n"
                           "    value = same if part.get_filename() else data.decode()\n"
                           "    print(part.get_param('name', header='content-disposition'), part.get_filename(),\n"
                           "          part.get_content_type(), value)\n",
                     d.dir.filePath("img/그림.JPG")});
    ASSERT_TRUE(p.waitForStarted());
    p.write("Content-Type: " + r.Header("Content-Type") + "\r\nMIME-Version: 1.0\r\n\r\n" + r.body);
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_TEXT(QString::fromUtf8(p.readAllStandardOutput()),
                "id None text/plain demo\npw None text/plain demo\npID None text/plain 9001\n"
                "imageFolder None text/plain img/\nfile 그림.JPG multipart/form-data True\n")
        << p.readAllStandardError().toStdString();
}

// The completion of an update carries the operator's note, escaped, each line ended by CR LF.
TEST(UploadWire, UpdateCompletionCarriesTheNote)
{
    DemoJob d;
    FaultProxy capture;
    capture.startReply = "UPDATE\r\n";
    ASSERT_TRUE(capture.Up());
    THttpClient forms, files;
    forms.SetBaseURL(capture.Url());
    files.SetBaseURL(capture.Url());
    THttpUploadTransport wire(forms, files);
    RecordingInteraction ui;
    const TUploadRunResult r = RunUpload(d.settings, wire, {}, ui, [](QStringList& note) {
        note = {"수정", "번역 & 100%"};
        return true;
    });
    ASSERT_TRUE(r.completed);
    ASSERT_FALSE(capture.requests.isEmpty());
    EXPECT_BYTES(capture.requests.last().body,
                 "id=demo&pw=demo&p_id=9001&p_dcode=DEMO01&p_update=%uC218%uC815%0D%0A%uBC88%uC5ED%20%26%20100%25%0D%0A");
}

} // namespace
