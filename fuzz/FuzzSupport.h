#pragma once
// Shared pieces of the fuzz targets: a silent operator, a hard check that stops the run with a
// reason, and a scratch folder in RAM for the parsers that only read files.
#include "shell/Interaction.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// Answers No, never stops; counts messages so targets can check that a failure was told.
class QuietInteraction : public Interaction {
public:
    int infos = 0;
    int questions = 0;
    void ShowInfo(const QString&) override { ++infos; }
    bool AskYesNo(const QString&) override
    {
        ++questions;
        return false;
    }
};

// A broken property is a finding like a crash: print it and abort so libFuzzer saves the input.
#define FUZZ_CHECK(cond, what)                                                                 \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s (%s)\n", __FILE__, __LINE__,  \
                         what, #cond);                                                         \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

inline QByteArray FuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Qt's warnings about odd input would flood the fuzzer's log and slow it down.
inline void SilenceQt()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

// One folder per fuzzer process, on tmpfs when the machine has one, removed at exit.
// Kept on the heap so that it is still there when the exit handler runs.
inline const QString& FuzzScratchDir()
{
    static const QString* dir = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                         : QDir::tempPath();
        auto* d = new QString(base + QStringLiteral("/quilo-fuzz-%1").arg(getpid()));
        QDir().mkpath(*d);
        std::atexit([] { QDir(FuzzScratchDir()).removeRecursively(); });
        return d;
    }();
    return *dir;
}
