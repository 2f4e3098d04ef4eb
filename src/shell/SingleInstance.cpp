#include "shell/SingleInstance.h"

#include "shell/Settings.h"

SingleInstance::SingleInstance()
    : SingleInstance(DataFolder() + QStringLiteral("/quilo-maker.lock"))
{
}

SingleInstance::SingleInstance(const QString& lockFile)
    : m_lock(lockFile)
{
    // Never by age: a copy that has run for hours still holds its lock. A lock left by a
    // process that no longer exists is taken over.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::TryAcquire()
{
    if (m_lock.isLocked())
        return true;
    if (m_lock.tryLock(0))
        return true;
    return m_lock.error() != QLockFile::LockFailedError;
}
