#pragma once
// The open job of a window test: a fresh folder of its own with product "시험 도서" and the named
// tabs; the job that was open before comes back afterwards. Also the session code table of the
// demo seed.

#include "common/TestSupport.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
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

// The session code table from the demo seed, as a login leaves it in the data folder.
inline bool DemoCodeTable()
{
    if (SessionCodes())
        return true;
    const QString seed = qEnvironmentVariable("QUILO_SOURCE_DIR") + "/examples/demo/server/";
    if (!QFileInfo::exists(MetaInfoFileName()))
        QFile::copy(seed + "VuxMetaInfo.txt", MetaInfoFileName());
    if (!QFileInfo::exists(CodeTableFileName())) {
        // The seed is UTF-8 without byte-order mark.
        QStringList rows = SplitLines(QString::fromUtf8(ReadBytes(seed + "codetable.tsv")));
        rows.removeIf([](const QString& l) { return l.startsWith('#'); });
        WriteTextLines(CodeTableFileName(), rows);
    }
    RecordingInteraction ui;
    return EnsureCodeTable(ui, [] {});
}
