// How long the windows take to become usable on big books, on the offscreen platform: from
// show() until the window's load has finished (its isInit flag) and pending events are done; for
// the tag editor also until its index is filled and its first article chosen.
//   quilo-bench-windows tag ENTRIES [RUNS]   the tag editor on an index of ENTRIES articles
//   quilo-bench-windows meta DIR [RUNS]      the meta editor on the job of quilo-bench-meta
//                                            (make, then init) in DIR
// Prints the best and the median of the runs in milliseconds, and "ms=BEST".
#include "indexing/ui/frmMetaEdit.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"
#include "tagging/ui/frmTag.h"
#include "articles/ui/ArticleTreeWidget.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class Silent : public Interaction {
public:
    void ShowInfo(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool AskYesNo(const QString&) override { return true; }
};

// Runs `open` (which shows a window and returns when it is usable) `runs` times.
int Measure(const char* what, int runs, const std::function<bool()>& open)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!open()) {
            std::fprintf(stderr, "%s: the window did not finish loading\n", what);
            return 1;
        }
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s: best %.1f ms, median %.1f ms (%d runs)\nms=%.1f\n", what, ms.front(), ms[ms.size() / 2], runs,
                ms.front());
    return 0;
}

template <typename Window>
bool ShowUntilLoaded(Window& w)
{
    // A box the window puts up waits in its own loop for a click: say what it was, close it and
    // fail the run instead of hanging.
    bool boxed = false;
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "box: %s\n", qPrintable(box->text()));
            boxed = true;
            box->done(QMessageBox::No);
        }
    });
    boxes.start(50);
    w.resize(1200, 800);
    w.show();
    QElapsedTimer waited;
    waited.start();
    while (!w.isInit && !boxed) {
        if (waited.elapsed() > 60000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QApplication::processEvents();
    return !boxed;
}

int TagEditor(int entries, int runs)
{
    QTemporaryDir dir;
    TJobDefine& job = myLIB.Jobs;
    job = TJobDefine();
    job.WorkFolder = dir.path();
    job.pNAME = QStringLiteral("벤치");
    job.TabsCount = 1;
    job.TabsName[0] = QStringLiteral("본문");
    job.TabsFile[0] = QStringLiteral("src");
    QDir(dir.path()).mkpath(QStringLiteral("src"));
    // Levels 1, 2, 3, 3, 2, ... with a new top level every 20 entries, as the preview bench.
    QStringList lines;
    lines.reserve(qsizetype(entries) * 3);
    const int pattern[] = {1, 2, 3, 3, 2, 3, 3, 3, 2, 3};
    for (int i = 0; i < entries; ++i) {
        const int level = (i % 20 == 0) ? 1 : pattern[i % 10] == 1 ? 2 : pattern[i % 10];
        lines << QStringLiteral("%1_%2").arg(i / 20 + 1).arg(i % 20) << QString::number(level)
              << QStringLiteral("제%1장 시험 기사의 제목 %2").arg(i / 20 + 1).arg(i);
    }
    WriteTextLines(dir.path() + QStringLiteral("/본문.idx"), lines);
    QDir(dir.path()).mkpath(QStringLiteral("work_본문/0001"));
    WriteTextLines(dir.path() + QStringLiteral("/work_본문/0001/1_0.txt"),
                   {QStringLiteral("<H1 id=1_0>제1장 시험 기사의 제목 0</H1>"), QStringLiteral("본문 한 줄.")});
    // The clock runs from show() of a built window: building its widgets and web views costs the
    // same for any book. The index is usable when it is filled and its first article chosen; the
    // first article's preview follows and is timed apart (its page load is the same for any book).
    Silent ui;
    std::vector<double> indexMs, totalMs;
    for (int i = 0; i < runs; ++i) {
        TfrmTag w;
        w.setInteraction(&ui);
        QElapsedTimer t;
        double usable = -1;
        QObject::connect(w.SourceTree, &QTreeWidget::currentItemChanged, [&] {
            if (usable < 0 && w.SourceTree->articleCount() == entries + 1)
                usable = double(t.nsecsElapsed()) / 1e6;
        });
        t.start();
        const bool ok = ShowUntilLoaded(w) && usable >= 0;
        const double total = double(t.nsecsElapsed()) / 1e6;
        w.setInteraction(nullptr);
        if (!ok) {
            std::fprintf(stderr, "tag editor: the index did not load\n");
            return 1;
        }
        indexMs.push_back(usable);
        totalMs.push_back(total);
        QApplication::processEvents();
    }
    std::sort(indexMs.begin(), indexMs.end());
    std::sort(totalMs.begin(), totalMs.end());
    std::printf("tag editor, index usable: best %.1f ms, median %.1f ms; with the first preview: best %.1f ms, "
                "median %.1f ms (%d runs)\nms=%.1f\ntotal_ms=%.1f\n",
                indexMs.front(), indexMs[indexMs.size() / 2], totalMs.front(), totalMs[totalMs.size() / 2], runs,
                indexMs.front(), totalMs.front());
    return 0;
}

bool CodeTable()
{
    const QString seed = QStringLiteral(QUILO_SOURCE_DIR "/examples/demo/server/");
    QFile::copy(seed + QStringLiteral("VuxMetaInfo.txt"), MetaInfoFileName());
    QStringList rows;
    ReadTextLines(seed + QStringLiteral("codetable.tsv"), rows);
    rows.removeIf([](const QString& l) { return l.startsWith(QLatin1Char('#')); });
    WriteTextLines(CodeTableFileName(), rows);
    Silent ui;
    return EnsureCodeTable(ui, [] {});
}

int MetaEditor(const QString& folder, int runs)
{
    if (!CodeTable()) {
        std::fprintf(stderr, "no code table\n");
        return 1;
    }
    TJobDefine& job = myLIB.Jobs;
    job = TJobDefine();
    job.WorkFolder = QDir(folder).absolutePath();
    job.pNAME = QStringLiteral("벤치 도서");
    job.pID = QStringLiteral("9001");
    job.pCode = QStringLiteral("BENCH");
    job.TabsCount = 1;
    job.TabsName[0] = QStringLiteral("본문");
    job.TabsFile[0] = QStringLiteral("src");
    job.TabsID[0] = QStringLiteral("101");
    std::printf(".kwd of %lld bytes\n", static_cast<long long>(QFileInfo(folder + QStringLiteral("/본문.kwd")).size()));
    Silent ui;
    return Measure("meta editor, opening", runs, [&] {
        TfrmMetaEdit w;
        w.setInteraction(&ui);
        const bool ok = ShowUntilLoaded(w);
        w.setInteraction(nullptr);
        return ok;
    });
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QTemporaryDir home;
    if (qgetenv("QUILO_HOME").isEmpty())
        qputenv("QUILO_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: quilo-bench-windows tag ENTRIES [RUNS] | meta DIR [RUNS]\n");
        return 2;
    }
    const int runs = args.size() > 3 ? args[3].toInt() : 3;
    if (args[1] == QStringLiteral("tag"))
        return TagEditor(args[2].toInt(), runs);
    if (args[1] == QStringLiteral("meta"))
        return MetaEditor(args[2], runs);
    return 2;
}
