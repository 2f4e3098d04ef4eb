#pragma once
// Runs the `quilo` command of the build (QUILO_BINARY_DIR, set by CTest) and keeps what it said.

#include <QProcess>
#include <QString>
#include <QStringList>

struct CmdResult {
    int exit = -1;
    QString out, err;
};

inline CmdResult Quilo(const QStringList& args)
{
    QProcess p;
    p.start(qEnvironmentVariable("QUILO_BINARY_DIR") + "/quilo", args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
