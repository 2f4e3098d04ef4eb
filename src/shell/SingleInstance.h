#pragma once
// Keeps the program to one running copy per data folder: two copies would overwrite each
// other's settings and job files. The lock goes with the process, also when it dies.

#include <QLockFile>
#include <QString>

class SingleInstance {
public:
    // {data folder}/quilo-maker.lock
    SingleInstance();
    explicit SingleInstance(const QString& lockFile);

    // False only when another running copy holds the lock. A folder where no lock can be
    // written does not keep the operator out.
    bool TryAcquire();

private:
    QLockFile m_lock;
};
