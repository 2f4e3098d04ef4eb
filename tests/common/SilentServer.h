#pragma once
// A server on 127.0.0.1 that accepts every connection, reads what comes and never answers: the
// requests the program sends without a time-out must still end when the operator stops them.

#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

class SilentServer : public QObject {
public:
    SilentServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                s->setParent(this);
                QObject::connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
                m_sockets << s;
                ++m_accepted;
            }
        });
    }

    QString BaseURL() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    int Accepted() const { return m_accepted; }
    // Connections the client has not closed yet.
    int Open() const
    {
        int n = 0;
        for (const QPointer<QTcpSocket>& s : m_sockets)
            if (s && s->state() == QAbstractSocket::ConnectedState)
                ++n;
        return n;
    }
    // Closes every connection from this side: frees a client that could not be stopped.
    void HangUp()
    {
        for (const QPointer<QTcpSocket>& s : m_sockets)
            if (s)
                s->abort();
    }

private:
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_sockets;
    int m_accepted = 0;
};

// Once a request waits on `server`, calls `stop` (the operator's button or key). When the client
// still holds the connection `graceMs` later, sets `late` and from then on hangs up on it, so
// that a window that cannot be stopped fails its test instead of hanging it. Runs from timers: it works inside the
// window's own wait as well as outside it.
class StopWhileWaiting : public QObject {
public:
    bool stopped = false;
    bool late = false;

    StopWhileWaiting(SilentServer& server, std::function<void()> stop, int graceMs = 5000)
        : m_server(server)
        , m_stop(std::move(stop))
        , m_grace(graceMs)
    {
        QObject::connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
        m_poll.start(20);
    }

private:
    void Poll()
    {
        if (!stopped) {
            if (m_server.Open() == 0)
                return;
            stopped = true;
            m_waited = 0;
            m_stop();
            return;
        }
        m_waited += 20;
        if (late) {
            // The client may try again on a new connection: keep hanging up until it gives up.
            m_server.HangUp();
        } else if (m_server.Open() == 0) {
            m_poll.stop();
        } else if (m_waited >= m_grace) {
            late = true;
            m_server.HangUp();
        }
    }

    SilentServer& m_server;
    std::function<void()> m_stop;
    int m_grace;
    int m_waited = 0;
    QTimer m_poll;
};
