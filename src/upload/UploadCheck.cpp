#include "upload/UploadCheck.h"

#include "shell/Interaction.h"
#include "shell/TextFile.h"
#include "tagging/ImageLinks.h"
#include "tagging/TabConnect.h"
#include "upload/UploadRun.h"

#include <QDateTime>
#include <QFileInfo>

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

TUploadCheck RunUploadCheck(const TJobDefine& job, const QStringList& keywordTabIds, Interaction& ui)
{
    TUploadCheck out;
    ui.Report(UploadCheckStartReport);
    out.passed = CheckTabs(job, ui, out) && CheckSourceImages(job, ui, out) && CheckMetaFiles(job, keywordTabIds, ui);
    return out;
}

QString UploadTabsCountText(const QList<bool>& checked)
{
    const auto n = std::count(checked.begin(), checked.end(), true);
    return n == checked.size() ? QStringLiteral("전체") : QString::number(n);
}
