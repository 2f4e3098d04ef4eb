#include "upload/UploadCheck.h"

#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "shell/TextFile.h"
#include "tagging/ImageLinks.h"
#include "tagging/TabConnect.h"
#include "server/VUX_codes.h"
#include "upload/JobPreflight.h"
#include "upload/UploadRun.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

QString NotConnectedReport(const QString& tabName)
{
    return QStringLiteral("탭(") + tabName + QStringLiteral(") 연결 작업을 하지 않았습니다.");
}

QString NoMetaFileReport(const QString& tabName)
{
    return QStringLiteral("최종 메타 결과 파일(") + tabName + QStringLiteral(")이 없습니다.");
}

QString MetaOlderThanIndexMessage(const QString& tabName)
{
    return QStringLiteral("탭 : ") + tabName + QStringLiteral("\r\n최종 메타 결과 파일 수정 후 기사 인덱스가 수정되었습니다.") +
           QStringLiteral("\r\n메타 수정 메뉴에서 초기화를 실행하십시오.");
}

namespace {

// Lines of a file; a missing file has none.
bool FileLines(const QString& path, QStringList& lines)
{
    lines.clear();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return true;
    return ReadTextLines(path, lines);
}

// Quiet loaders: what they would say is the text phase's to say.
class Quiet : public Interaction {
public:
    void ShowInfo(const QString&) override {}
    bool AskYesNo(const QString&) override { return false; }
};

// Every image tag of the job whose file the upload would leave behind, as report lines.
bool CheckArticleImages(const TJobDefine& job, bool sourceImagesAvailable, Interaction& ui)
{
    bool ok = true;
    for (int tab = 0; tab < qMin(job.TabsCount, MaxTabs); ++tab) {
        Quiet quiet;
        TArticleTree tree;
        if (!LoadArticleTree(job, tab, tree, quiet))
            continue;
        for (int j = 1; j < tree.count(); ++j) {
            QStringList lines;
            if (!LoadArticleText(lines, ArticleFileName(job, tab, &tree.node(j)), quiet))
                continue;
            for (const QString& problem : ArticleImageProblems(job, j, tree.node(j).title, lines, sourceImagesAvailable)) {
                ui.Report(job.TabsName[size_t(tab)] + QStringLiteral(" - ") + problem);
                ok = false;
            }
        }
    }
    if (!ok)
        ui.Report(UploadCheckErrorReport);
    return ok;
}

bool CheckTabs(const TJobDefine& job, Interaction& ui, TUploadCheck& out)
{
    const int count = qMin(job.TabsCount, MaxTabs);
    for (int tab = 0; tab < count; ++tab) {
        ui.Status(UploadLabelTabs, QStringLiteral("탭 : %1 / %2").arg(tab + 1).arg(count));
        ui.Progress(UploadBarTabs, tab + 1, count);
        TArticleTree tree;
        TTreeLoadInteraction treeUi(ui);
        if (!LoadArticleTree(job, tab, tree, treeUi))
            return false;
        if (job.TabsLink[size_t(tab)].isEmpty())
            continue;
        QStringList lines;
        if (!FileLines(ConnectFileName(job, tab), lines) || lines.isEmpty()) {
            ui.Report(NotConnectedReport(job.TabsName[size_t(tab)]));
            return false;
        }
        const int linked = LinkedTab(job, tab);
        if (linked >= 0)
            out.linkedTabs.append({tab, linked});
    }
    return true;
}

bool CheckSourceImages(const TJobDefine& job, Interaction& ui, TUploadCheck& out)
{
    if (job.srcImage != QLatin1String("Y"))
        return true;
    bool linked = false;
    for (int tab = 0; tab < qMin(job.TabsCount, MaxTabs) && !linked; ++tab) {
        QStringList lines;
        linked = FileLines(ImageLinkFileName(job, tab), lines) && lines.size() > 2;
    }
    if (!linked) {
        ui.Report(NoSourceImageLinksReport);
        return false;
    }
    out.sourceImages = SourceImageFiles(job.WorkFolder);
    out.imagesAvailable = out.sourceImages.totalSize > 0;
    if (!out.imagesAvailable)
        ui.Report(NoSourceImagesReport);
    return true;
}

bool CheckMetaFiles(const TJobDefine& job, const QStringList& keywordTabIds, Interaction& ui)
{
    for (const QString& arId : keywordTabIds) {
        const int tab = TabIndexById(job, arId);
        if (tab < 0) {
            ui.Report(UploadCheckErrorReport);
            return false;
        }
        const QString tabName = job.TabsName[size_t(tab)];
        const QFileInfo meta(KeywordFileName(job, tab));
        if (meta.filePath().isEmpty() || !meta.isFile()) {
            ui.Report(NoMetaFileReport(tabName));
            return false;
        }
        const QFileInfo index(ArticleIndexFileName(job, tab));
        const QDateTime metaTime = meta.lastModified();
        const QDateTime indexTime = index.lastModified();
        if (!metaTime.isValid() || !indexTime.isValid()) {
            ui.Report(UploadCheckErrorReport);
            return false;
        }
        if (metaTime < indexTime) {
            ui.ShowInfo(MetaOlderThanIndexMessage(tabName));
            return false;
        }
    }
    return true;
}

} // namespace

QStringList UploadWarnings(const TJobDefine& job, const TVUX_codes& codes, const QList<TvuxSchOption>* options)
{
    static const QRegularExpression entity(QStringLiteral("&(?:#[0-9]+|#[xX][0-9a-fA-F]+|[A-Za-z][A-Za-z0-9]{1,31});"));
    QStringList out;
    for (int tab = 0; tab < qMin(job.TabsCount, MaxTabs); ++tab) {
        Quiet quiet;
        TRecordContext base;
        base.job = &job;
        base.tab = tab;
        base.codes = &codes;
        base.options = options;
        if (options) {
            base.defaultSubject1 = DefaultSubjectCode(*options, codes, codes.vux_SubjPtr1);
            base.defaultSubject2 = DefaultSubjectCode(*options, codes, codes.vux_SubjPtr2);
        }
        // A tab whose files do not read has no warnings: the text phase stops at it with the reason.
        TTabRecords source(base);
        if (!source.Open(quiet, nullptr))
            continue;
        const TArticleTree& tree = source.Tree();
        TArticleRecords meta;
        for (int j = 1; j < tree.count(); ++j) {
            const QString where = job.TabsName[size_t(tab)] + QStringLiteral(" - 기사 %1(%2): ").arg(j).arg(tree.node(j).title);
            if (!source.Records(j, meta, nullptr))
                break;
            const QStringList records{meta.core, meta.ex.exmeta, meta.ex.exaddmeta, meta.image};
            QStringList bad;
            for (const QString& record : records)
                for (const QString& pair : record.split(QLatin1Char('|'), Qt::SkipEmptyParts))
                    if (pair.endsWith(QLatin1String("=BAD")))
                        bad << pair.chopped(4);
            bad.removeDuplicates();
            if (!bad.isEmpty())
                out << where + QStringLiteral("%1 값이 코드표에 없어 \"BAD\"로 전송됩니다.").arg(bad.join(QStringLiteral(", ")));
            QStringList lines;
            if (!LoadArticleText(lines, ArticleFileName(job, tab, &tree.node(j)), quiet))
                continue;
            QStringList found;
            for (const QString& line : lines.mid(1))
                for (auto it = entity.globalMatch(line); it.hasNext();)
                    found << it.next().captured(0);
            if (!found.isEmpty())
                out << where + QStringLiteral("HTML 문자 참조 %1 등 %2곳이 \"＆\"로 바뀌어 글자 그대로 보입니다.")
                                   .arg(found.first())
                                   .arg(found.size());
        }
    }
    return out;
}

QString UploadWarningReport(const QString& warning)
{
    return QStringLiteral("주의: ") + warning;
}

TUploadCheck RunUploadCheck(const TJobDefine& job, const QStringList& keywordTabIds, Interaction& ui,
                            const TVUX_codes* codes, const QList<TvuxSchOption>* options)
{
    TUploadCheck out;
    ui.Report(UploadCheckStartReport);
    // The article images come after the source images: without source images to send, no
    // inserted image goes either.
    out.passed = CheckTabs(job, ui, out) && CheckSourceImages(job, ui, out) &&
                 CheckArticleImages(job, out.imagesAvailable, ui) && CheckMetaFiles(job, keywordTabIds, ui);
    if (out.passed && codes)
        for (const QString& warning : UploadWarnings(job, *codes, options))
            ui.Report(UploadWarningReport(warning));
    return out;
}

QString UploadTabsCountText(const QList<bool>& checked)
{
    const auto n = std::count(checked.begin(), checked.end(), true);
    return n == checked.size() ? QStringLiteral("전체") : QString::number(n);
}
