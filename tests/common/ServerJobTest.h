#pragma once
// A copy of the demo job with its articles generated, and `quilo` run against a quilo-server of
// the test's own, with a data folder of its own.

#include "common/QuiloCommand.h"
#include "common/RefServerProcess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

class ServerJobTest : public ::testing::Test {
protected:
    RefServerProcess server;
    QTemporaryDir home, dir;
    QString base, job;
    QuiloOptions how;

    void SetUp() override
    {
        if (!RefServerProcess::Built() || !QuiloBuilt())
            GTEST_SKIP() << "quilo or quilo-server is not built";
        QString log;
        base = server.Start(&log);
        ASSERT_FALSE(base.isEmpty()) << log.toStdString();
        how.env.insert("QUILO_HOME", home.path());
        how.env.insert("QUILO_SERVER_URL", base);
        how.env.insert("ASAN_OPTIONS", "detect_leaks=0");
        job = dir.filePath("job");
        ASSERT_TRUE(CopyDemoJob(job));
        ASSERT_EQ(Quilo({"generate", job, "--after", ". "}).exit, 0);
    }

    CmdResult Quilo(const QStringList& args) const { return ::Quilo(args, how); }
};
