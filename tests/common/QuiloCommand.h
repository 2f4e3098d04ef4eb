#pragma once
// Runs the `quilo` command of the build (QUILO_BINARY_DIR, set by CTest) and keeps what it said.
// The wait runs the event loop, so a fake server on the test's own thread keeps answering.

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

struct CmdResult {
    int exit = -1; // -1: did not start or did not end in time; -2: crashed
    QString out, err;
    // stdout line by line, without the empty piece after the last line end.
    QStringList OutLines() const
    {
        QStringList lines = out.split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
};

struct QuiloOptions {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    int timeoutMs = 180000;
};

inline QString QuiloBinary() { return qEnvironmentVariable("QUILO_BINARY_DIR") + "/quilo"; }
inline bool QuiloBuilt() { return QFileInfo(QuiloBinary()).isExecutable(); }

inline void StartQuilo(QProcess& p, const QStringList& args, const QuiloOptions& how = {})
{
    p.setProcessEnvironment(how.env);
    p.start(QuiloBinary(), args);
}

// Waits for a started `quilo`; one that outlives `timeoutMs` is killed.
inline CmdResult FinishQuilo(QProcess& p, int timeoutMs = QuiloOptions().timeoutMs)
{
    if (p.state() != QProcess::NotRunning) {
        QEventLoop loop;
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    bool late = false;
    if (p.state() != QProcess::NotRunning) {
        late = true;
        p.kill();
        p.waitForFinished();
    }
    CmdResult r;
    if (!late && p.error() != QProcess::FailedToStart)
        r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline CmdResult Quilo(const QStringList& args, const QuiloOptions& how = {})
{
    QProcess p;
    StartQuilo(p, args, how);
    return FinishQuilo(p, how.timeoutMs);
}

// A copy of a folder (hidden files too) with every file's modification time kept: the upload
// check compares them.
inline bool CopyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& fi : QDir(from).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString target = to + '/' + fi.fileName();
        if (fi.isDir()) {
            if (!CopyTree(fi.filePath(), target))
                return false;
            continue;
        }
        if (!QFile::copy(fi.filePath(), target))
            return false;
        QFile f(target);
        if (!f.open(QIODevice::ReadWrite) || !f.setFileTime(fi.lastModified(), QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}

// The demo job of examples/demo copied to `to`.
inline bool CopyDemoJob(const QString& to)
{
    return CopyTree(qEnvironmentVariable("QUILO_SOURCE_DIR") + "/examples/demo/job", to);
}
