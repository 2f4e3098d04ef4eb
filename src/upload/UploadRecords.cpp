#include "upload/UploadRecords.h"

#include "articles/ArticleHtml.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/MetaInit.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/TextFile.h"
#include "tagging/ImageLinks.h"
#include "tagging/PageInfo.h"
#include "tagging/TabConnect.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QChar FullWidthAmpersand(0xFF06);
const QChar FullWidthEquals(0xFF1D);

// Drops the trailing "|" of a record.
QString CloseRecord(QString record)
{
    if (record.endsWith(QLatin1Char('|')))
        record.chop(1);
    return record;
}

QString WithFullWidthAmpersands(QString text)
{
    return text.replace(QLatin1Char('&'), FullWidthAmpersand);
}

bool ColumnTakesCodes(const TVuxColumn& column)
{
    return column.CodeGroup != QLatin1String("x");
}

// First line of node j's block; -1 for a node before the first article.
qsizetype BlockStart(const TMetaData& meta, int j)
{
    if (j < 1 || meta.BlockLength() <= 0)
        return -1;
    return qsizetype(j - 1) * meta.BlockLength();
}

int ContentNumber(const std::vector<int>& numbers, int j)
{
    return j >= 0 && size_t(j) < numbers.size() ? numbers[size_t(j)] : j + 1;
}

} // namespace

const TExMetaGroup ExMetaTable[9] = {
    {"인명", "ks_exMetaName"},          {"지명", "ks_exMetaPlace"},   {"역사", "ks_exMetaHistory"},
    {"한의학", "ks_exMetaOmedic"},       {"동식물", "ks_exMetaDongsik"}, {"건축", "ks_exMetaArchitecture"},
    {"디자인", "ks_exMetaDesign"},       {"문학", "ks_exMetaMunhak"},   {"예술회화", "ks_exMetaArt"},
};

QString ExMetaGroupFor(const QString& subject)
{
    for (const auto& row : ExMetaTable)
        if (subject == QString::fromUtf8(row.subject))
            return QString::fromUtf8(row.group);
    return {};
}

bool IsPageNode(const TArticleTree& tree, int j)
{
    return tree.valid(j) && tree.node(j).title.startsWith(QLatin1String("(page"));
}

QString TabHeaderTitle(const TJobDefine& job, int tab)
{
    return job.pNAME + QLatin1Char(' ') + (tab >= 0 && tab < MaxTabs ? job.TabsName[size_t(tab)] : QString());
}

QString ArticleTitle(const TArticleTree& tree, int j)
{
    if (!tree.valid(j))
        return {};
    const TArticleNode& node = tree.node(j);
    if (IsPageNode(tree, j) && tree.valid(node.parent))
        return tree.node(node.parent).title;
    return node.title;
}

QString UploadHtml(const QStringList& articleLines, Interaction& ui)
{
    QStringList html;
    ArticleToHtml(html, articleLines.mid(1), HtmlUploadMode, ui);
    QString joined = html.join(QString());
    joined.remove(QLatin1Char('\r'));
    joined.remove(QLatin1Char('\n'));
    return WithFullWidthAmpersands(joined);
}

bool BuildArticleHtml(const TJobDefine& job, int tab, const TArticleTree& tree, int j, Interaction& ui,
                      QString& html)
{
    html.clear();
    if (!tree.valid(j))
        return false;
    QStringList lines;
    if (!LoadArticleText(lines, ArticleFileName(job, tab, &tree.node(j)), ui))
        return false;
    html = UploadHtml(lines, ui);
    return true;
}

TFamilyValues FamilyValues(const TArticleTree& tree, const std::vector<int>& contentNumbers, int j)
{
    TFamilyValues v;
    if (!tree.valid(j))
        return v;
    const TArticleNode& node = tree.node(j);
    if (IsPageNode(tree, j)) {
        const int grand = tree.valid(node.parent) ? tree.node(node.parent).parent : -1;
        v.parentNumber = tree.valid(grand) ? QString::number(ContentNumber(contentNumbers, grand)) : QStringLiteral("0");
        v.hasChild = QStringLiteral("0");
        return v;
    }
    v.parentNumber = tree.valid(node.parent) ? QString::number(ContentNumber(contentNumbers, node.parent))
                                             : QStringLiteral("0");
    v.hasChild = !node.children.empty() && !IsPageNode(tree, node.children.front()) ? QStringLiteral("1")
                                                                                    : QStringLiteral("0");
    return v;
}

QString UploadPath(const TArticleTree& tree, int j)
{
    if (!tree.valid(j))
        return {};
    const int start = IsPageNode(tree, j) && tree.valid(tree.node(j).parent) ? tree.node(j).parent : j;
    return TitlePath(tree, start);
}

QString ArticleUrl(const QString& contentBaseUrl, const QString& productId, const QString& tabId,
                   int contentNumber, int j)
{
    return contentBaseUrl + QStringLiteral("/pcontent/content_view_detail_QU.asp?svcid") + FullWidthEquals +
           QStringLiteral("QU&proid") + FullWidthEquals + productId + QStringLiteral("&arid") + FullWidthEquals +
           tabId + QStringLiteral("&ContentNumber") + FullWidthEquals + QString::number(contentNumber) +
           QStringLiteral("&PageNumber") + FullWidthEquals + QString::number(j);
}

QString CodedValue(const TVUX_codes& codes, int column, const QString& value)
{
    if (column < 0 || column >= codes.vux_Columns.size())
        return value;
    const TVuxColumn& c = codes.vux_Columns[column];
    return ColumnTakesCodes(c) ? codes.FindCodeValue(c.CodeGroup, value) : value;
}

QString DefaultSubjectCode(const QList<TvuxSchOption>& options, const TVUX_codes& codes, int sptr)
{
    QString code;
    if (sptr < 0 || sptr >= codes.vux_Columns.size())
        return code;
    for (const TvuxSchOption& o : options)
        if (o.sptr == sptr)
            code = codes.FindCodeValue(codes.vux_Columns[sptr].CodeGroup, o.value);
    return code;
}

QString CoreRecordFromMeta(const TRecordContext& c, const TMetaData& meta, int j)
{
    const TVUX_codes& codes = *c.codes;
    const TArticleTree& tree = *c.tree;
    const qsizetype p = BlockStart(meta, j);
    if (p < 0 || codes.vux_Groups.isEmpty() || !tree.valid(j))
        return {};
    const TVuxGroup& core = codes.vux_Groups.front();
    if (meta.LineCount() < p + core.First + core.Count)
        return {};
    const int number = ContentNumber(*c.contentNumbers, j);
    const TFamilyValues family = FamilyValues(tree, *c.contentNumbers, j);
    QString record;
    for (int k = core.First; k < core.First + core.Count && k < codes.vux_Columns.size(); ++k) {
        const QString line = meta.Line(p + k);
        if (line.isEmpty())
            continue;
        const TVuxColumn& column = codes.vux_Columns[k];
        const QString& code = column.ColumnCode;
        QString value;
        if (ColumnTakesCodes(column))
            value = codes.FindCodeValue(column.CodeGroup, line);
        else if (code == QLatin1String("mt_url"))
            value = ArticleUrl(c.contentBaseUrl, c.job->pID, c.tabId, number, j);
        else if (code == QLatin1String("content_number"))
            value = QString::number(number);
        else if (code == QLatin1String("page_number"))
            value = QString::number(j);
        else if (code == QLatin1String("has_child"))
            value = family.hasChild;
        else if (code == QLatin1String("parent_number"))
            value = family.parentNumber;
        else if (code == QLatin1String("mt_title"))
            value = line.startsWith(QLatin1String("(page")) && tree.valid(tree.node(j).parent)
                        ? tree.node(tree.node(j).parent).title
                        : line;
        else if (code == QLatin1String("mt_path"))
            value = UploadPath(tree, j);
        else
            value = line;
        record += code + QLatin1Char('=') + value + QLatin1Char('|');
    }
    return WithFullWidthAmpersands(CloseRecord(record));
}

QString CoreRecordWithoutMeta(const TRecordContext& c, int j)
{
    const TVUX_codes& codes = *c.codes;
    const TArticleTree& tree = *c.tree;
    if (codes.vux_Groups.isEmpty() || !tree.valid(j))
        return {};
    const TVuxGroup& core = codes.vux_Groups.front();
    const int number = ContentNumber(*c.contentNumbers, j);
    const TFamilyValues family = FamilyValues(tree, *c.contentNumbers, j);
    QString record;
    for (int k = core.First; k < core.First + core.Count && k < codes.vux_Columns.size(); ++k) {
        QString value;
        if (c.options) {
            for (const TvuxSchOption& o : *c.options) {
                if (o.sptr == k && o.stype == KeywordFixed) {
                    value = CodedValue(codes, k, o.value);
                    break;
                }
            }
        }
        if (value.isEmpty()) {
            switch (k - core.First) {
            case 0: value = ArticleTitle(tree, j); break;
            case 5: value = c.defaultSubject1; break;
            case 6: value = c.defaultSubject2; break;
            case 17: value = c.tabId + QLatin1Char('_') + QString::number(j); break;
            case 26: value = UploadPath(tree, j); break;
            case 27: value = QStringLiteral("9501"); break;
            case 30: value = ArticleUrl(c.contentBaseUrl, c.job->pID, c.tabId, number, j); break;
            case 31: value = c.tabId; break;
            case 32: value = QString::number(number); break;
            case 33: value = c.job->pCode; break;
            case 34: value = c.job->pID; break;
            case 35: value = QString::number(j); break;
            case 36: value = family.hasChild; break;
            case 37: value = family.parentNumber; break;
            default: break;
            }
        }
        if (!value.isEmpty())
            record += codes.vux_Columns[k].ColumnCode + QLatin1Char('=') + value + QLatin1Char('|');
    }
    return WithFullWidthAmpersands(CloseRecord(record));
}

TExMetaRecords ExMetaRecords(const TVUX_codes& codes, const TMetaData& meta, int j)
{
    TExMetaRecords out;
    const qsizetype p = BlockStart(meta, j);
    if (p < 0)
        return out;
    QString subject = meta.Line(p + codes.vux_SubjPtr1);
    if (subject == QStringLiteral("단문사전"))
        return out;
    if (subject == QStringLiteral("기타")) {
        subject = meta.Line(p + codes.vux_SubjPtr2);
        if (subject == QStringLiteral("기타"))
            return out;
    }
    const QString groupCode = ExMetaGroupFor(subject);
    if (groupCode.isEmpty())
        return out;
    int group = -1;
    for (int g = 1; g < codes.vux_GroupCount && g < codes.vux_Groups.size(); ++g) {
        const TVuxGroup& grp = codes.vux_Groups[g];
        if (grp.First >= 0 && grp.First < codes.vux_Columns.size() &&
            codes.vux_Columns[grp.First].GroupCode == groupCode.toLower()) {
            group = g;
            break;
        }
    }
    if (group < 0)
        return out;
    const TVuxGroup& grp = codes.vux_Groups[group];
    const qsizetype lines = meta.LineCount();
    if (lines < p + grp.First)
        return out;
    if (lines < p + grp.First + grp.Count) {
        // Half an ex-meta block would send a record without some of its values.
        out.error = QStringLiteral("메타 정보 파일이 %1번째 줄에서 끝납니다.").arg(lines);
        return out;
    }
    QString ex = QStringLiteral("name=") + groupCode + QLatin1Char('|');
    QString add;
    const QString addTable = QStringLiteral("ks_exMetaAddInfo").toLower();
    for (int k = grp.First; k < grp.First + grp.Count && k < codes.vux_Columns.size(); ++k) {
        const QString line = meta.Line(p + k);
        if (line.isEmpty())
            continue;
        const TVuxColumn& column = codes.vux_Columns[k];
        const QString pair = column.ColumnCode + QLatin1Char('=') + CodedValue(codes, k, line) + QLatin1Char('|');
        if (column.TableCode == addTable)
            add += pair;
        else
            ex += pair;
    }
    out.exmeta = WithFullWidthAmpersands(CloseRecord(ex));
    out.exaddmeta = WithFullWidthAmpersands(CloseRecord(add));
    return out;
}

QString ImageMetaRecord(const TVUX_codes& codes, const TMetaData& meta, int j)
{
    const qsizetype p = BlockStart(meta, j);
    if (p < 0 || codes.vux_Groups.isEmpty())
        return {};
    const TVuxGroup& grp = codes.vux_Groups.back();
    if (meta.LineCount() < p + grp.First + grp.Count)
        return {};
    QString record;
    for (int k = grp.First; k < grp.First + grp.Count && k < codes.vux_Columns.size(); ++k) {
        const QString line = meta.Line(p + k);
        if (!line.isEmpty())
            record += codes.vux_Columns[k].ColumnCode + QLatin1Char('=') + CodedValue(codes, k, line) + QLatin1Char('|');
    }
    return CloseRecord(record);
}

TTabRecords::TTabRecords(const TRecordContext& base)
    : m_context(base)
    , m_reader(KeywordFileName(*base.job, base.tab), base.codes->vux_DataBlockLength)
{
    m_context.tree = &m_tree;
    m_context.contentNumbers = &m_numbers;
    m_context.tabId = base.job->TabsID[size_t(base.tab)];
}

bool TTabRecords::Open(Interaction& treeUi, QString* error)
{
    const TJobDefine& job = *m_context.job;
    const int tab = m_context.tab;
    const QString metaPath = KeywordFileName(job, tab);
    m_hasMeta = !metaPath.isEmpty() && QFileInfo::exists(metaPath);
    if (m_hasMeta && !m_reader.Open(error))
        return false;
    if (!LoadArticleTree(job, tab, m_tree, treeUi)) {
        if (error)
            error->clear();
        return false;
    }
    if (!LoadContentNumbers(PageInfoFileName(job, tab), m_tree, m_numbers, error))
        return false;
    for (size_t n = m_numbers.size(); n < size_t(m_tree.count()); ++n)
        m_numbers.push_back(int(n) + 1); // a short numbering must not index past its end
    return true;
}

bool TTabRecords::Records(int j, TArticleRecords& out, QString* error)
{
    out = {};
    if (!m_hasMeta) {
        out.core = CoreRecordWithoutMeta(m_context, j);
        return true;
    }
    if (!m_reader.Read(j, m_meta, error))
        return false;
    const TVUX_codes& codes = *m_context.codes;
    out.core = CoreRecordFromMeta(m_context, m_meta, j);
    out.ex = ExMetaRecords(codes, m_meta, j);
    out.image = ImageMetaRecord(codes, m_meta, j);
    return true;
}

int LinkedTab(const TJobDefine& job, int tab)
{
    if (tab < 0 || tab >= job.TabsCount || tab >= MaxTabs || job.TabsLink[size_t(tab)].isEmpty())
        return -1;
    for (int i = 0; i < job.TabsCount && i < MaxTabs; ++i)
        if (job.TabsName[size_t(i)] == job.TabsLink[size_t(tab)])
            return i;
    return -1;
}

bool TabLinkRecord(const TJobDefine& job, int tab, int linkedTab, const QStringList& connectLines,
                   QString& record, QString* error)
{
    record.clear();
    if (tab < 0 || tab >= MaxTabs || linkedTab < 0 || linkedTab >= MaxTabs)
        return false;
    QStringList entries;
    for (qsizetype k = 0; k < connectLines.size(); ++k) {
        const QString& line = connectLines[k];
        if (line == NotConnected)
            continue;
        int target = -1;
        if (!ParseConnectValue(line, &target) || target < 0) {
            if (error)
                *error = QStringLiteral("%1: %2번째 줄 [%3]이 연결 정보가 아닙니다.")
                             .arg(ConnectFileName(job, tab)).arg(k + 1).arg(line);
            return false;
        }
        entries << QStringLiteral("p_id=%1^tran_ar_id=%2^tran_content_number=%3^tran_page_number=%4"
                                  "^ori_ar_id=%5^ori_content_number=%6^ori_page_number=%7")
                       .arg(job.pID, job.TabsID[size_t(tab)])
                       .arg(k + 1)
                       .arg(k)
                       .arg(job.TabsID[size_t(linkedTab)])
                       .arg(target + 1)
                       .arg(target);
    }
    record = entries.join(QLatin1Char('|'));
    return true;
}

bool TabLinkRecordFromFile(const TJobDefine& job, int tab, int linkedTab, QString& record, QString* error)
{
    record.clear();
    const QString path = ConnectFileName(job, tab);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("탭 이름이 잘못되었습니다.");
        return false;
    }
    QStringList lines;
    if (QFileInfo::exists(path) && !ReadTextLines(path, lines, error))
        return false;
    return TabLinkRecord(job, tab, linkedTab, lines, record, error);
}

QString PageImageList(const QStringList& linkLines, const QStringList& sourceImages, int k)
{
    if (k < 1 || 2 * qsizetype(k) + 1 >= linkLines.size())
        return {};
    const QString& first = linkLines[2 * k];
    const QString& last = linkLines[2 * k + 1];
    if (first == NoImage || last == NoImage)
        return {};
    return PageImageRange(first, last, sourceImages);
}

QString PageImageRange(const QString& first, const QString& last, const QStringList& sourceImages)
{
    QStringList names;
    for (const QString& name : sourceImages) {
        if (QString::compare(name, last, Qt::CaseSensitive) > 0)
            break;
        if (QString::compare(name, first, Qt::CaseSensitive) >= 0)
            names << QStringLiteral("images/") + name;
    }
    return names.join(QLatin1Char('|'));
}

QList<TPageImages> PageImageRequests(const QStringList& linkLines, const QStringList& sourceImages)
{
    QList<TPageImages> out;
    for (int k = 1; 2 * qsizetype(k) + 1 < linkLines.size(); ++k) {
        if (linkLines[2 * k] == NoImage || linkLines[2 * k + 1] == NoImage)
            continue;
        out.append({k, PageImageList(linkLines, sourceImages, k)});
    }
    return out;
}

namespace {

bool IsJpegName(const QString& name)
{
    return name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive);
}

void AddFile(TUploadFileList& list, const QFileInfo& info, const QString& folder)
{
    list.files.append({folder, info.fileName(), info.absoluteFilePath(), info.size()});
    list.totalSize += info.size();
}

} // namespace

TUploadFileList SourceImageFiles(const QString& jobFolder)
{
    TUploadFileList list;
    const QString folder = SourceImageFolder(jobFolder);
    if (folder.isEmpty())
        return list;
    for (const QString& name : ListSourceImages(jobFolder)) {
        const QFileInfo info(folder + QLatin1Char('/') + name);
        if (info.isFile() && !info.isSymLink() && IsJpegName(name))
            AddFile(list, info, QString());
    }
    return list;
}

namespace {

// The JPEG files of `dir` and of its sub-folders at any depth, in name order, each folder's files
// at its place among its sub-folders. Hidden entries and links stay out (nothing outside the job).
void AddJpegTree(TUploadFileList& list, const QString& dir, const QString& folder, int depth)
{
    const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                                                          QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || entry.fileName().startsWith(QLatin1Char('.')))
            continue;
        if (entry.isFile()) {
            if (IsJpegName(entry.fileName()))
                AddFile(list, entry, folder);
        } else if (entry.isDir() && depth < MaxInsertedImageDepth) {
            AddJpegTree(list, entry.absoluteFilePath(),
                        folder.isEmpty() ? entry.fileName() : folder + QLatin1Char('/') + entry.fileName(), depth + 1);
        }
    }
}

} // namespace

TUploadFileList InsertedImageFiles(const QString& jobFolder)
{
    TUploadFileList list;
    if (!jobFolder.isEmpty())
        AddJpegTree(list, InsertedImageFolder(jobFolder), QString(), 0);
    return list;
}

QString InsertedImageFolderValue(const TUploadFile& file)
{
    return QStringLiteral("img/") + file.folder;
}
