#pragma once
// Helpers shared by the tests: a scripted interaction and byte-level file access.

#include "shell/Interaction.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Records every message and answers questions from a script (Yes when the script runs dry).
class RecordingInteraction : public Interaction {
public:
    QStringList infos;
    QStringList questions;
    QStringList reports;
    std::deque<bool> answers;
    bool stop = false;

    void ShowInfo(const QString& text) override { infos << text; }
    bool AskYesNo(const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return true;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void Report(const QString& line) override { reports << line; }
    bool StopRequested() override { return stop; }
    void ClearStop() override { stop = false; }
};

inline QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

// UTF-16LE with byte-order mark and CR LF after every line: how the program writes job files.
inline QByteArray Utf16File(const QStringList& lines)
{
    QByteArray out("\xFF\xFE", 2);
    for (const QString& l : lines) {
        QString s = l + "\r\n";
        out.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
    }
    return out;
}

// Runs `f`; should it not return within `seconds` (two threads waiting for each other), the
// test program ends at once with a message instead of hanging until the driver's time-out.
inline void ReturnsWithin(int seconds, const char* what, const std::function<void()>& f)
{
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watch([&] {
        std::unique_lock<std::mutex> lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(seconds), [&] { return done; })) {
            std::fprintf(stderr, "%s did not return within %d s: deadlock\n", what, seconds);
            std::_Exit(1);
        }
    });
    f();
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_one();
    watch.join();
}
