#pragma once
// A raw HTTP server on 127.0.0.1 for the tests: records every request byte for byte and
// answers with scripted replies, including broken ones no real server library would send.
// It runs on the test's thread; the client's blocking wait keeps it serving.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <deque>

struct FakeReply {
    enum Mode {
        Normal,      // status line, headers, Content-Length, body
        Raw,         // `body` is sent as is, then the connection closes
        CutBody,     // announces the whole body, sends half of it, closes
        Silent,      // reads the request and never answers
        KeepAlive,   // a normal reply; the connection stays open for the next request
        QuietClose   // a normal reply that does not say it closes, then closes
    };
    Mode mode = Normal;
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QList<QByteArray> extraHeaders;

    static FakeReply Text(const QByteArray& body, const QByteArray& contentType = "text/html; charset=utf-8")
    {
        FakeReply r;
        r.body = body;
        r.contentType = contentType;
        return r;
    }
};

struct FakeRequest {
    QByteArray method;
    QByteArray path;
    QByteArray head; // request line and headers, up to the blank line
    QByteArray body;
    QByteArray raw;  // everything as received

    QByteArray Header(const QByteArray& name) const
    {
        for (const QByteArray& line : head.split('\n')) {
            const QByteArray l = line.trimmed();
            const int colon = l.indexOf(':');
            if (colon > 0 && l.left(colon).trimmed().toLower() == name.toLower())
                return l.mid(colon + 1).trimmed();
        }
        return {};
    }
};

class FakeServer : public QObject {
public:
    FakeServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                ++connections;
                s->setParent(this);
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { OnRead(s); });
            }
        });
    }

    QString BaseURL() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    quint16 Port() const { return m_server.serverPort(); }

    // Replies per path, used in order; the last one stays for further requests.
    void On(const QByteArray& path, const FakeReply& reply) { m_replies[path].push_back(reply); }
    void Clear()
    {
        m_replies.clear();
        requests.clear();
    }

    QList<FakeRequest> requests;
    int connections = 0;

private:
    void OnRead(QTcpSocket* s)
    {
        QByteArray& buf = m_buffers[s];
        buf += s->readAll();
        for (;;) {
            const int end = buf.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            FakeRequest req;
            req.head = buf.left(end + 2);
            const qint64 len = req.Header("Content-Length").toLongLong();
            if (buf.size() < end + 4 + len)
                return;
            req.body = buf.mid(end + 4, len);
            req.raw = buf.left(end + 4 + len);
            buf.remove(0, end + 4 + len);
            const QList<QByteArray> first = req.head.left(req.head.indexOf("\r\n")).split(' ');
            req.method = first.value(0);
            req.path = first.value(1);
            requests << req;
            Answer(s, req);
        }
    }

    void Answer(QTcpSocket* s, const FakeRequest& req)
    {
        FakeReply reply;
        auto it = m_replies.find(req.path);
        if (it == m_replies.end() || it->empty()) {
            reply.status = 404;
            reply.body = "not here";
        } else {
            reply = it->front();
            if (it->size() > 1)
                it->pop_front();
        }
        if (reply.mode == FakeReply::Silent)
            return;
        if (reply.mode == FakeReply::Raw) {
            s->write(reply.body);
            s->flush();
            s->disconnectFromHost();
            return;
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status)
                         + (reply.status < 400 ? " OK" : " Error") + "\r\n";
        if (!reply.contentType.isEmpty())
            out += "Content-Type: " + reply.contentType + "\r\n";
        for (const QByteArray& h : reply.extraHeaders)
            out += h + "\r\n";
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        out += reply.mode == FakeReply::KeepAlive || reply.mode == FakeReply::QuietClose ? "\r\n" : "Connection: close\r\n\r\n";
        if (reply.mode == FakeReply::CutBody)
            out += reply.body.left(reply.body.size() / 2);
        else
            out += reply.body;
        s->write(out);
        s->flush();
        if (reply.mode != FakeReply::KeepAlive)
            s->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QHash<QByteArray, std::deque<FakeReply>> m_replies;
};
