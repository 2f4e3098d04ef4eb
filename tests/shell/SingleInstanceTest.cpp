#include "common/TestSupport.h"
#include "shell/SingleInstance.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <memory>

TEST(SingleInstance, SecondCopyRefusedUntilTheFirstEnds)
{
    QTemporaryDir dir;
    const QString lock = dir.filePath("quilo-maker.lock");
    auto first = std::make_unique<SingleInstance>(lock);
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->TryAcquire());
    SingleInstance second(lock);
    EXPECT_FALSE(second.TryAcquire());
    first.reset();
    EXPECT_TRUE(second.TryAcquire());
}

TEST(SingleInstance, LockOfAProcessThatDiedIsTakenOver)
{
    QTemporaryDir dir;
    const QString lock = dir.filePath("quilo-maker.lock");
    QProcess gone;
    gone.start("true", {});
    ASSERT_TRUE(gone.waitForFinished());
    const qint64 deadPid = gone.processId() ? gone.processId() : 999999;
    WriteBytes(lock, QByteArray::number(deadPid) + "\nquilo-maker\n" + QSysInfo::machineHostName().toUtf8()
                         + "\n" + QSysInfo::machineUniqueId() + "\n");
    SingleInstance next(lock);
    EXPECT_TRUE(next.TryAcquire());
}

TEST(SingleInstance, UnwritableFolderDoesNotKeepTheOperatorOut)
{
    SingleInstance nowhere("/nonexistent-quilo-folder/sub/quilo-maker.lock");
    EXPECT_TRUE(nowhere.TryAcquire());
}
