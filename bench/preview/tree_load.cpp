// How long a big article index takes to become a tree: the reader alone, the tree widget fill,
// and the window's whole load (reader, progress window, fill). Prints the best and the median
// of several runs for each.
#include "articles/ArticleIndex.h"
#include "articles/ui/ArticleTreeWidget.h"
#include "shell/Interaction.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
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

void Measure(const char* what, int runs, const std::function<void()>& f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s best %8.1f ms   median %8.1f ms   (%d runs)\n", what, ms.front(), ms[ms.size() / 2], runs);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir home;
    qputenv("QUILO_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const int entries = argc > 1 ? QString(argv[1]).toInt() : 100000;
    const int runs = argc > 2 ? QString(argv[2]).toInt() : 5;

    QTemporaryDir dir;
    TJobDefine& job = myLIB.Jobs;
    job.WorkFolder = dir.path();
    job.pNAME = "벤치";
    job.TabsCount = 1;
    job.TabsName[0] = "본문";
    // Levels 1, 2, 3, 3, 2, 3, ... with a new top level every 20 entries; IDs need not be exact.
    QStringList lines;
    lines.reserve(entries * 3);
    const int pattern[] = {1, 2, 3, 3, 2, 3, 3, 3, 2, 3};
    for (int i = 0; i < entries; ++i) {
        const int level = (i % 20 == 0) ? 1 : pattern[i % 10] == 1 ? 2 : pattern[i % 10];
        lines << QString("%1_%2").arg(i / 20 + 1).arg(i % 20) << QString::number(level)
              << QStringLiteral("제%1장 시험 기사의 제목 %2").arg(i / 20 + 1).arg(i);
    }
    QString error;
    if (!WriteTextLines(dir.path() + "/본문.idx", lines, TextEncoding::Utf16LE, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("index of %d entries (%lld bytes)\n", entries,
                static_cast<long long>(QFileInfo(dir.path() + "/본문.idx").size()));

    Silent ui;
    TArticleTree tree;
    Measure("reader (LoadArticleTree, logic)", runs, [&] { LoadArticleTree(job, 0, tree, ui); });
    std::printf("  nodes: %d\n", tree.count());

    TArticleTreeWidget widget;
    widget.resize(400, 700);
    widget.show();
    Measure("tree widget fill", runs, [&] {
        TArticleTree copy = tree;
        widget.setArticleTree(std::move(copy), 0, true);
        app.processEvents();
    });
    Measure("window load (reader + fill)", runs, [&] {
        LoadArticleTree(&widget, 0, true);
        app.processEvents();
    });
    std::printf("  items: %d\n", widget.articleCount());
    return 0;
}
