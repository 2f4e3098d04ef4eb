// Meta data initialisation of a large synthetic job, next to its floor: reading the same
// workbooks and writing ".kwd" files of the same size.
//   quilo-bench-meta make DIR [ARTICLES]   writes the job (one keyword tab, the demo code table)
//   quilo-bench-meta floor DIR             reads every sheet, writes a full-size .kwd
//   quilo-bench-meta init DIR              the initialisation as `quilo meta init` runs it
// run.sh runs the last two under /usr/bin/time for wall time and peak memory.
#include "articles/ArticleIndex.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/MetaFile.h"
#include "indexing/MetaInit.h"
#include "indexing/Workbook.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>

namespace {

class Quiet : public Interaction {
public:
    void ShowInfo(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool AskYesNo(const QString&) override { return true; }
};

bool LoadCodes(TVUX_codes& codes)
{
    QStringList lines;
    if (!ReadTextLines(QStringLiteral(QUILO_SOURCE_DIR "/examples/demo/server/VuxMetaInfo.txt"), lines))
        return false;
    codes.BuildColumns(lines);
    return codes.vux_GroupCount > 0;
}

TJobDefine Job(const QString& dir)
{
    TJobDefine job;
    job.WorkFolder = QDir(dir).absolutePath();
    job.pNAME = QStringLiteral("벤치 도서");
    job.pID = QStringLiteral("9001");
    job.pCode = QStringLiteral("BENCH");
    job.TabsCount = 1;
    job.TabsName[0] = QStringLiteral("본문");
    job.TabsFile[0] = QStringLiteral("src");
    job.TabsID[0] = QStringLiteral("101");
    return job;
}

int Make(const QString& dir, int articles, const TVUX_codes& codes)
{
    QDir().mkpath(dir);
    TJobDefine job = Job(dir);
    SaveJobFile(job);
    // Chapters of 9 sections each.
    QStringList idx, category{QStringLiteral("1주제"), QStringLiteral("2주제")};
    QStringList titles;
    const QString folder = ArticleFolderName(job, 0);
    QDir().mkpath(folder);
    int chapter = 0, section = 0;
    for (int k = 1; k <= articles; ++k) {
        const bool top = (k - 1) % 10 == 0;
        if (top)
            ++chapter, section = 0;
        else
            ++section;
        const QString id = top ? QString::number(chapter) : QStringLiteral("%1_%2").arg(chapter).arg(section);
        titles << (top ? QStringLiteral("제%1장 바다").arg(chapter) : QStringLiteral("제%1절 섬 %2").arg(section).arg(k));
        idx << id << (top ? QStringLiteral("1") : QStringLiteral("2")) << titles.last();
        // The articles themselves: the meta editor shows the chosen one beside its grid.
        WriteTextLines(folder + '/' + id + QStringLiteral(".txt"),
                       {QStringLiteral("<h1>") + titles.last() + QStringLiteral("</h1>"), QStringLiteral("본문 %1").arg(k)});
        category << QStringLiteral("인명") << QStringLiteral("지명");
    }
    WriteTextLines(dir + QStringLiteral("/본문.idx"), idx);
    WriteTextLines(dir + QStringLiteral("/본문_category.txt"), category);
    WriteTextLines(KeywordDefinitionsFile(job), {QStringLiteral("ar_id^101"), QStringLiteral("1^ks_coremeta^mt_oCode^인명"),
                                                 QStringLiteral("1^ks_coremeta^mt_sCode^지명"),
                                                 QStringLiteral("1^ks_exMetaName^nm_nation^한국"),
                                                 QStringLiteral("2^ks_exMetaName^nm_name^【인물】")});

    TWorkbookWriter w(dir + QStringLiteral("/색인_본문.xls"));
    QString error;
    for (int g = 0; g < codes.vux_GroupCount; ++g) {
        const TVuxGroup& group = codes.vux_Groups[g];
        const QString name = codes.GetGroupName(g);
        w.AddSheet(name);
        QStringList header{QStringLiteral("헤더")};
        for (int j = 0; j < group.Count; ++j)
            header << codes.vux_Columns[group.First + j].ColumnName;
        w.WriteRow(1, header);
        int row = 2;
        for (int k = 1; k <= articles; ++k) {
            QStringList cells{titles[k - 1]};
            if (g == 0)
                cells << titles[k - 1] << QStringLiteral("부제 %1").arg(k);
            else if (g == 1 && k % 3 == 0)
                cells << QStringLiteral("인물%1^인물%2").arg(k).arg(k + 1);
            else if (name == QStringLiteral("이미지") && k % 4 == 0)
                cells << QStringLiteral("그림 %1").arg(k) << QStringLiteral("img/p%1.jpg").arg(k);
            if (!w.WriteRow(row++, cells, &error))
                break;
            if (name == QStringLiteral("이미지") && k % 8 == 0)
                w.WriteRow(row++, {QString(), QStringLiteral("둘째 그림"), QStringLiteral("img/q%1.jpg").arg(k)});
        }
    }
    if (!w.Save(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("job with %d articles in %s\n", articles, qPrintable(dir));
    return 0;
}

int Floor(const QString& dir, const TVUX_codes& codes)
{
    QElapsedTimer t;
    t.start();
    TWorkbookReader reader;
    QString error;
    if (!reader.Open(dir + QStringLiteral("/색인_본문.xls"), &error))
        return std::fprintf(stderr, "%s\n", qPrintable(error)), 1;
    qint64 rows = 0;
    for (int g = 0; g < codes.vux_GroupCount; ++g) {
        TSheetRows sheet;
        if (!reader.ReadSheet(codes.GetGroupName(g), sheet, &error))
            return std::fprintf(stderr, "%s\n", qPrintable(error)), 1;
        rows = qMax<qint64>(rows, sheet.size());
    }
    const qint64 read = t.elapsed();
    TMetaData data(codes.vux_DataBlockLength);
    for (qint64 i = 0; i < (rows - 1) * codes.vux_DataBlockLength; ++i)
        data.Lines().append(i % 7 == 0 ? QStringLiteral("값") : QString());
    SaveMetaFile(dir + QStringLiteral("/floor.kwd"), data);
    std::printf("floor: read %lld ms, write %lld ms\n", read, t.elapsed() - read);
    return 0;
}

int Init(const QString& dir, const TVUX_codes& codes)
{
    Quiet ui;
    const TJobDefine job = Job(dir);
    TKeywordDefinitions defs;
    if (!LoadKeywordDefinitions(KeywordDefinitionsFile(job), codes, defs, ui))
        return 1;
    QElapsedTimer t;
    t.start();
    const TMetaInitOutcome out = RunMetaInitialisation(job, codes, defs.options, defs.ar_ids, QStringLiteral("http://site"), ui);
    std::printf("init: %lld ms, %s\n", t.elapsed(), out.completed ? "completed" : "not completed");
    return out.completed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    TVUX_codes codes;
    if (args.size() < 3 || !LoadCodes(codes)) {
        std::fprintf(stderr, "usage: quilo-bench-meta make|floor|init DIR [ARTICLES]\n");
        return 2;
    }
    if (args[1] == QStringLiteral("make"))
        return Make(args[2], args.size() > 3 ? args[3].toInt() : 40000, codes);
    if (args[1] == QStringLiteral("floor"))
        return Floor(args[2], codes);
    if (args[1] == QStringLiteral("init"))
        return Init(args[2], codes);
    return 2;
}
