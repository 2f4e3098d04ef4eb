#pragma once
// quilo-server as a child process on a free loopback port, seeded with the demo data.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

class RefServerProcess {
public:
    static QString Seed() { return qEnvironmentVariable("QUILO_SOURCE_DIR") + "/examples/demo/server"; }
    static QString Binary() { return qEnvironmentVariable("QUILO_BINARY_DIR") + "/refserver/quilo-server"; }
    static bool Built() { return QFile::exists(Binary()); }
    // The server's data folder, for its administration commands.
    QString DataPath() const { return m_data.path(); }
    // What an administration command prints about the server's data; empty when it did not end.
    QString Admin(const QStringList& args) const
    {
        QProcess admin;
        admin.start(Binary(), QStringList{"admin", "--data", m_data.path()} + args);
        if (!admin.waitForFinished(30000))
            return {};
        return QString::fromUtf8(admin.readAllStandardOutput());
    }

    // The base URL once the server listens; empty (with `log`) when it did not come up.
    QString Start(QString* log = nullptr)
    {
        m_process.setProgram(Binary());
        m_process.setArguments({"--data", m_data.path(), "--port", "0", "--seed", Seed()});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return {};
        QString out, url;
        const QRegularExpression ready("listening on (http://127\\.0\\.0\\.1:\\d+)");
        while (url.isEmpty() && m_process.waitForReadyRead(20000)) {
            out += QString::fromUtf8(m_process.readAll());
            const auto m = ready.match(out);
            if (m.hasMatch())
                url = m.captured(1);
        }
        if (log)
            *log = out;
        return url;
    }
    ~RefServerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000)) {
                m_process.kill();
                m_process.waitForFinished();
            }
        }
    }

private:
    QTemporaryDir m_data;
    QProcess m_process;
};
