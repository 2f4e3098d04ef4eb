#pragma once
// The open job of a window test: a fresh folder of its own with product "시험 도서" and the named
// tabs; the job that was open before comes back afterwards.

#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "shell/myLIB.h"

#include <QTemporaryDir>

struct DemoJob {
    QTemporaryDir dir;
    TJobDefine saved = myLIB.Jobs;

    explicit DemoJob(const QStringList& tabs)
    {
        TJobDefine& job = myLIB.Jobs;
        job = TJobDefine();
        job.WorkFolder = dir.path();
        job.pNAME = "시험 도서";
        job.TabsCount = int(tabs.size());
        for (int k = 0; k < tabs.size(); ++k)
            job.TabsName[size_t(k)] = tabs[k];
    }
    ~DemoJob() { myLIB.Jobs = saved; }
    DemoJob(const DemoJob&) = delete;
    DemoJob& operator=(const DemoJob&) = delete;

    // The tab's article index from its lines (ID, level and title for every article).
    void WriteIndex(const QString& tab, const QStringList& lines) const
    {
        WriteBytes(dir.filePath(tab + ".idx"), Utf16File(lines));
    }
};
