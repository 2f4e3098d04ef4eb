// Upload of a large generated job to quilo-server, and the steps that get the job ready for it.
//   quilo-bench-upload prepare JOBDIR [--inserted-images]
//                                       after `quilo generate`: the demo product's IDs, every
//                                       tenth article a further page, keyword definitions,
//                                       categories and result workbook, then the meta init;
//                                       with the option the job sends the pictures of its "img"
//   quilo-bench-upload upload JOBDIR URL  the pre-upload check and the whole run, no request logs
// run.sh runs them and measures the upload under /usr/bin/time.
#include "articles/ArticleIndex.h"
#include "indexing/Category.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/MetaInit.h"
#include "indexing/Workbook.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/TextFile.h"
#include "tagging/PageInfo.h"
#include "upload/UploadCheck.h"
#include "upload/UploadRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>

namespace {

class Quiet : public Interaction {
public:
    void ShowInfo(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool AskYesNo(const QString&) override { return true; }
    void Report(const QString&) override {}
};

bool LoadCodes(TVUX_codes& codes)
{
    QStringList columns, rows;
    const QString seed = QStringLiteral(QUILO_SOURCE_DIR "/examples/demo/server/");
    if (!ReadTextLines(seed + QStringLiteral("VuxMetaInfo.txt"), columns)
        || !ReadTextLines(seed + QStringLiteral("codetable.tsv"), rows))
        return false;
    codes.BuildColumns(columns);
    codes.BuildCodes(rows);
    return codes.vux_GroupCount > 0;
}

bool OpenJob(const QString& dir, TJobDefine& job)
{
    job.WorkFolder = QDir(dir).absolutePath();
    if (!IsJobFolder(job.WorkFolder))
        return false;
    LoadJobFile(job);
    return job.TabsCount > 0;
}

int Prepare(const QString& dir, const TVUX_codes& codes, bool insertedImages)
{
    Quiet ui;
    TJobDefine job;
    if (!OpenJob(dir, job))
        return std::fprintf(stderr, "%s: no job folder\n", qPrintable(dir)), 1;
    // The demo product the server's seed knows, so that every record is accepted.
    job.pID = QStringLiteral("9001");
    job.pCode = QStringLiteral("DEMO01");
    job.pNAME = QStringLiteral("데모 도서");
    job.srcImage = QStringLiteral("N");
    job.insImage = insertedImages ? QStringLiteral("Y") : QStringLiteral("N");
    job.TabsID[0] = QStringLiteral("101");
    if (!SaveJobFile(job))
        return 1;

    TArticleTree tree;
    if (!LoadArticleTree(job, 0, tree, ui))
        return 1;
    const int articles = tree.count() - 1;
    QStringList pages{PageMain}, titles, category{QStringLiteral("1주제"), QStringLiteral("2주제")};
    for (int k = 1; k <= articles; ++k) {
        pages << (k % 10 == 0 && tree.node(k).parent > 0 ? PagePage : PageMain);
        titles << tree.node(k).title;
        category << QStringLiteral("인명") << QStringLiteral("지명");
    }
    WriteTextLines(PageInfoFileName(job, 0), pages);
    WriteTextLines(CategoryFileName(job.WorkFolder, job.TabsName[0]), category);
    WriteTextLines(KeywordDefinitionsFile(job),
                   {QStringLiteral("ar_id^101"), QStringLiteral("1^ks_coremeta^mt_oCode^인명"),
                    QStringLiteral("1^ks_coremeta^mt_sCode^지명"), QStringLiteral("1^ks_exMetaName^nm_nation^한국"),
                    QStringLiteral("2^ks_exMetaName^nm_name^【인물】")});

    // One sheet per column group, one row per article, as the keyword extraction leaves them.
    TWorkbookWriter w(QDir(job.WorkFolder).filePath(KeywordWorkbookName(job, 0)));
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
            if (!w.WriteRow(row++, cells, &error))
                break;
        }
    }
    if (!w.Save(&error))
        return std::fprintf(stderr, "%s\n", qPrintable(error)), 1;

    TKeywordDefinitions defs;
    if (!LoadKeywordDefinitions(KeywordDefinitionsFile(job), codes, defs, ui))
        return 1;
    const TMetaInitOutcome out =
        RunMetaInitialisation(job, codes, defs.options, defs.ar_ids, QStringLiteral("http://content.example"), ui);
    std::fprintf(stderr, "prepared %d articles: pages marked, meta %s\n", articles,
                 out.completed ? "initialised" : "NOT initialised");
    return out.completed ? 0 : 1;
}

int Upload(const QString& dir, const QString& url, const TVUX_codes& codes)
{
    Quiet ui;
    TJobDefine job;
    if (!OpenJob(dir, job))
        return std::fprintf(stderr, "%s: no job folder\n", qPrintable(dir)), 1;
    TKeywordDefinitions defs;
    if (!LoadKeywordDefinitions(KeywordDefinitionsFile(job), codes, defs, ui))
        return 1;
    const TUploadCheck check = RunUploadCheck(job, defs.ar_ids, ui);
    if (!check.passed)
        return std::fprintf(stderr, "the pre-upload check failed\n"), 1;

    TUploadSettings s;
    s.job = &job;
    s.codes = &codes;
    s.options = &defs.options;
    s.loginId = QStringLiteral("demo");
    s.loginPw = QStringLiteral("demo");
    s.selected.fill(true);
    s.linkedTabs = check.linkedTabs;
    s.sendImages = check.imagesAvailable;
    s.sourceImages = check.sourceImages;
    s.contentBaseUrl = QStringLiteral("http://content.example");
    s.defaultSubject1 = DefaultSubjectCode(defs.options, codes, codes.vux_SubjPtr1);
    s.defaultSubject2 = DefaultSubjectCode(defs.options, codes, codes.vux_SubjPtr2);

    THttpClient forms, files;
    forms.SetBaseURL(url);
    files.SetBaseURL(url);
    THttpUploadTransport wire(forms, files);
    int waits = 0;
    const TServerWait wait = [&](const HttpResult& failed) {
        std::fprintf(stderr, "transfer failed (%s), sending again\n", qPrintable(failed.error));
        return ++waits < 3;
    };
    QElapsedTimer t;
    t.start();
    const TUploadRunResult r = RunUpload(s, wire, wait, ui, [](QStringList& note) {
        note = {QStringLiteral("벤치마크")};
        return true;
    });
    std::printf("run %s in %lld ms, %d failed transfers\n", r.completed ? "completed" : "STOPPED", t.elapsed(),
                waits);
    return r.completed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    TVUX_codes codes;
    if (!LoadCodes(codes))
        return std::fprintf(stderr, "the demo code table cannot be read\n"), 1;
    if ((args.size() == 3 || (args.size() == 4 && args[3] == QStringLiteral("--inserted-images")))
        && args[1] == QStringLiteral("prepare"))
        return Prepare(args[2], codes, args.size() == 4);
    if (args.size() == 4 && args[1] == QStringLiteral("upload"))
        return Upload(args[2], args[3], codes);
    std::fprintf(stderr, "usage: quilo-bench-upload prepare JOBDIR [--inserted-images] | upload JOBDIR URL\n");
    return 2;
}
