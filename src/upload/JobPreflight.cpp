#include "upload/JobPreflight.h"

#include "articles/ArticleIndex.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"
#include "tagging/ImageLinks.h"
#include "tagging/PageInfo.h"
#include "tagging/TabConnect.h"
#include "upload/UploadRecords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <deque>
#include <future>
#include <vector>

namespace {

// Keeps what the loaders would have shown; every question is answered No, so nothing changes.
class Collect : public Interaction {
public:
    QStringList messages;
    void ShowInfo(const QString& text) override { messages << Flat(text); }
    bool AskYesNo(const QString& text) override
    {
        messages << Flat(text);
        return false;
    }
    QString Take()
    {
        const QString all = messages.join(QStringLiteral(" / "));
        messages.clear();
        return all;
    }

private:
    static QString Flat(QString text)
    {
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.replace(QLatin1Char('\t'), QLatin1Char(' '));
        return text.simplified();
    }
};

class Preflight {
public:
    Preflight(const TJobDefine& job, const QStringList& keywordTabIds, const TProductRows& products)
        : job(job), keywordTabIds(keywordTabIds), products(products), root(job.WorkFolder)
    {
        // The source images as the upload collects them; without a byte of them no image is sent.
        const TUploadFileList files = SourceImageFiles(job.WorkFolder);
        for (const TUploadFile& f : files.files)
            sourceImages << f.name;
        sourceImagesAvailable = files.totalSize > 0;
    }

    QList<TJobProblem> Go()
    {
        const int count = qMin(job.TabsCount, MaxTabs);
        trees.resize(size_t(count));
        loaded.assign(size_t(count), false);
        for (int tab = 0; tab < count; ++tab)
            loaded[size_t(tab)] = LoadTree(tab);
        for (int tab = 0; tab < count; ++tab) {
            if (!loaded[size_t(tab)])
                continue;
            Articles(tab);
            Connection(tab);
            Pages(tab);
            ImageLinks(tab);
        }
        MetaFiles(count);
        Links(count);
        return problems;
    }

private:
    const TJobDefine& job;
    const QStringList& keywordTabIds;
    const TProductRows& products;
    QDir root;
    QStringList sourceImages;
    bool sourceImagesAvailable = false;
    std::vector<TArticleTree> trees;
    std::vector<bool> loaded;
    QList<TJobProblem> problems;
    Collect ui;

    QString Name(int tab) const { return job.TabsName[size_t(tab)]; }
    QString Rel(const QString& path) const { return root.relativeFilePath(path); }
    void Add(const QString& where, const QString& what, const QString& fix) { problems.append({where, what, fix}); }

    bool LoadTree(int tab)
    {
        if (LoadArticleTree(job, tab, trees[size_t(tab)], ui) && !trees[size_t(tab)].empty())
            return true;
        Add(Name(tab), QStringLiteral("기사 인덱스를 읽을 수 없습니다: ") + ui.Take(),
            QStringLiteral("기사 생성(quilo generate)을 다시 실행하십시오."));
        return false;
    }

    // Articles are checked on a few threads, a block of them each; their problems are added in
    // article order, as one thread would have found them.
    void Articles(int tab)
    {
        const TArticleTree& tree = trees[size_t(tab)];
        struct Found {
            QString shown, what, fix;
        };
        const auto check = [this, tab, &tree](int first, int last) {
            std::vector<Found> found;
            Collect said;
            for (int j = first; j < last; ++j) {
                const QString flat = ArticleFileName(job, tab, &tree.node(j));
                QString shown = flat;
                {
                    Collect quiet;
                    const QString stored = ArticleStoragePath(flat, quiet);
                    if (!stored.isEmpty() && QFileInfo(stored).isFile())
                        shown = stored;
                }
                QStringList lines;
                if (!LoadArticleText(lines, flat, said)) {
                    found.push_back({shown, QStringLiteral("기사 %1(%2)을(를) 읽을 수 없습니다: ").arg(j).arg(tree.node(j).title) + said.Take(),
                                     QStringLiteral("기사 파일을 되살리거나 기사 생성을 다시 실행하십시오.")});
                    continue;
                }
                UploadHtml(lines, said);
                if (!said.messages.isEmpty())
                    found.push_back({shown, QStringLiteral("기사 %1(%2)을(를) 변환할 수 없습니다: ").arg(j).arg(tree.node(j).title) + said.Take(),
                                     QStringLiteral("태그 편집에서 기사의 태그를 고치십시오.")});
                for (const QString& why : ArticleImageProblems(job, j, tree.node(j).title, lines, sourceImagesAvailable))
                    found.push_back({shown, why, QStringLiteral("img 폴더에 JPEG 그림을 넣거나 이미지 태그를 고치십시오.")});
            }
            return found;
        };
        constexpr int Block = 256, Ahead = 4;
        std::deque<std::future<std::vector<Found>>> blocks;
        for (int first = 1; first < tree.count() || !blocks.empty();) {
            for (; first < tree.count() && blocks.size() < Ahead; first += Block)
                blocks.push_back(std::async(std::launch::async, check, first, std::min(tree.count(), first + Block)));
            for (const Found& f : blocks.front().get())
                Add(Rel(f.shown), f.what, f.fix);
            blocks.pop_front();
        }
    }

    void Connection(int tab)
    {
        if (job.TabsLink[size_t(tab)].isEmpty())
            return;
        const int linked = LinkedTab(job, tab);
        if (linked < 0) {
            Add(Name(tab), QStringLiteral("연결 탭(%1)이 작업에 없습니다.").arg(job.TabsLink[size_t(tab)]),
                QStringLiteral("작업 정의에서 탭 연결을 고치십시오."));
            return;
        }
        const QString path = ConnectFileName(job, tab);
        const QString fix = QStringLiteral("탭 연결(quilo connect --auto 또는 탭 연결 창)을 다시 하십시오.");
        const int nodes = trees[size_t(tab)].count();
        QStringList lines;
        if (!LinesOf(path, lines, fix))
            return;
        if (lines.size() != nodes) {
            Add(Rel(path), QStringLiteral("%1줄이지만 탭(%2)의 노드는 %3개입니다.").arg(lines.size()).arg(Name(tab)).arg(nodes), fix);
            return;
        }
        const bool targetLoaded = linked < int(loaded.size()) && loaded[size_t(linked)];
        for (int k = 0; k < lines.size(); ++k) {
            int node = -1;
            if (!ParseConnectValue(lines[k], &node)) {
                Add(Rel(path), QStringLiteral("%1번째 줄(%2)이 \"-\"도 번호도 아닙니다.").arg(k + 1).arg(lines[k]), fix);
                return;
            }
            if (node >= 0 && targetLoaded && !trees[size_t(linked)].valid(node)) {
                Add(Rel(path), QStringLiteral("%1번째 줄이 탭(%2)에 없는 노드 %3을(를) 가리킵니다.").arg(k + 1).arg(Name(linked)).arg(node), fix);
                return;
            }
        }
    }

    void Pages(int tab)
    {
        const TArticleTree& tree = trees[size_t(tab)];
        const QString path = PageInfoFileName(job, tab);
        const QString fix = QStringLiteral("페이지 구성(quilo pages --by-title 또는 페이지 구성 창)을 다시 하십시오.");
        if (path.isEmpty())
            return;
        if (!QFileInfo::exists(path)) {
            // Without the file no article is grouped; a problem only when titles say there are pages.
            if (PagesByTitle(tree).contains(PagePage))
                Add(Rel(path), QStringLiteral("페이지 구성 파일이 없는데 탭(%1)에 \"(page\" 제목의 기사가 있습니다.").arg(Name(tab)), fix);
            return;
        }
        QStringList lines;
        if (!LinesOf(path, lines, fix))
            return;
        if (lines.size() != tree.count()) {
            Add(Rel(path), QStringLiteral("%1줄이지만 탭(%2)의 노드는 %3개입니다.").arg(lines.size()).arg(Name(tab)).arg(tree.count()), fix);
            return;
        }
        for (int k = 0; k < lines.size(); ++k)
            if (lines[k] != PageMain && lines[k] != PagePage) {
                Add(Rel(path), QStringLiteral("%1번째 줄(%2)이 Main도 page도 아닙니다.").arg(k + 1).arg(lines[k]), fix);
                return;
            }
    }

    void ImageLinks(int tab)
    {
        if (job.srcImage != QLatin1String("Y"))
            return;
        const TArticleTree& tree = trees[size_t(tab)];
        const QString path = ImageLinkFileName(job, tab);
        const QString fix = QStringLiteral("원문 이미지 연결(quilo image-links 또는 원문 이미지 창)을 다시 하십시오.");
        if (path.isEmpty() || !QFileInfo::exists(path))
            return; // a tab without source pages; the pre-upload check wants at least one tab linked
        QStringList lines;
        if (!LinesOf(path, lines, fix))
            return;
        if (lines.size() != 2 * tree.count()) {
            Add(Rel(path), QStringLiteral("%1줄이지만 탭(%2)의 노드 %3개에는 %4줄이 필요합니다.")
                               .arg(lines.size()).arg(Name(tab)).arg(tree.count()).arg(2 * tree.count()), fix);
            return;
        }
        // A pair with no source image in its range has nothing to link: the upload sends it empty.
        TImageLinks rows;
        ReadImageLinks(path, tree.count(), rows);
        for (TImageLink& r : rows)
            if (r.start != NoImage && r.end != NoImage && PageImageRange(r.start, r.end, sourceImages).isEmpty())
                r = {NoImage, NoImage};
        const QStringList listed = ListSourceImages(job.WorkFolder);
        for (int k = 0; k < 2 * int(rows.size()); ++k) {
            const QString& name = k % 2 ? rows[size_t(k / 2)].end : rows[size_t(k / 2)].start;
            if (name != NoImage && !listed.contains(name)) {
                Add(Rel(path), QStringLiteral("%1번째 줄의 %2이(가) images 폴더에 없습니다.").arg(k + 1).arg(name), fix);
                return;
            }
        }
        if (const int bad = CheckImageLinks(rows); bad >= 0)
            Add(Rel(path), QStringLiteral("노드 %1(%2)의 이미지 순서가 맞지 않습니다.").arg(bad).arg(tree.node(bad).title), fix);
    }

    void MetaFiles(int count)
    {
        const QString fix = QStringLiteral("메타 초기화(quilo meta init 또는 메타 수정 메뉴의 초기화)를 실행하십시오.");
        QList<int> keywordTabs;
        for (const QString& arId : keywordTabIds) {
            const int tab = TabIndexById(job, arId);
            if (tab < 0)
                Add(arId, QStringLiteral("키워드 정의의 탭 ID가 작업에 없습니다."), QStringLiteral("키워드 정의를 다시 받으십시오."));
            else
                keywordTabs << tab;
        }
        for (int tab = 0; tab < count; ++tab) {
            const QFileInfo meta(KeywordFileName(job, tab));
            if (meta.filePath().isEmpty())
                continue;
            if (!meta.isFile()) {
                if (keywordTabs.contains(tab))
                    Add(Rel(meta.filePath()), QStringLiteral("최종 메타 결과 파일(%1)이 없습니다.").arg(Name(tab)), fix);
                continue;
            }
            const QFileInfo index(ArticleIndexFileName(job, tab));
            if (index.isFile() && meta.lastModified() < index.lastModified())
                Add(Rel(meta.filePath()), QStringLiteral("기사 인덱스(%1)보다 오래되었습니다.").arg(Rel(index.filePath())), fix);
        }
    }

    void Links(int count)
    {
        QList<bool> all(count, true);
        Collect quiet;
        const TLinkCheck check = CheckJobLinks(job, all, products, quiet);
        for (const TFoundLink& f : check.links)
            if (!f.problem.isEmpty())
                Add(f.file, QStringLiteral("잘못된 링크 %1 (%2): %3").arg(f.target, f.text, f.problem),
                    QStringLiteral("링크 작업에서 링크를 고치거나 지우십시오."));
    }

    // The lines of a link file; false after the problem when it is missing or unreadable.
    bool LinesOf(const QString& path, QStringList& lines, const QString& fix)
    {
        if (path.isEmpty() || !QFileInfo::exists(path)) {
            Add(path.isEmpty() ? QStringLiteral("-") : Rel(path), QStringLiteral("파일이 없습니다."), fix);
            return false;
        }
        QString error;
        if (!ReadTextLines(path, lines, &error)) {
            Add(Rel(path), QStringLiteral("파일을 읽을 수 없습니다: ") + error, fix);
            return false;
        }
        return true;
    }
};

} // namespace

QStringList ImageTagSources(const QStringList& lines)
{
    static const QRegularExpression tag(QStringLiteral("<img\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression src(QStringLiteral("\\bsrc\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
                                        QRegularExpression::CaseInsensitiveOption);
    QStringList out;
    for (const QString& line : lines) {
        for (auto it = tag.globalMatch(line); it.hasNext();) {
            const QString t = it.next().captured(0);
            const auto m = src.match(t);
            if (!m.hasMatch()) {
                out << QString();
                continue;
            }
            out << m.captured(1) + m.captured(2) + m.captured(3);
        }
    }
    return out;
}

QString ImageSourceProblem(const TJobDefine& job, const QString& source, bool sourceImagesAvailable)
{
    QString s = TrimBlanks(source);
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (s.isEmpty())
        return QStringLiteral("이미지 태그에 src가 없습니다.");
    const QStringList parts = s.split(QLatin1Char('/'));
    if (!s.startsWith(QLatin1String("img/")) || parts.contains(QStringLiteral("..")) || parts.contains(QStringLiteral(".")) ||
        parts.contains(QString()))
        return QStringLiteral("이미지 %1이(가) img 폴더 아래의 파일이 아닙니다.").arg(source);
    // The upload sends what InsertedImageFiles lists: the same rules, said one by one.
    if (job.insImage != QLatin1String("Y"))
        return QStringLiteral("이미지 %1: 삽입 이미지를 전송하지 않는 제품입니다.").arg(source);
    if (job.srcImage == QLatin1String("Y") && !sourceImagesAvailable)
        return QStringLiteral("이미지 %1: 원문 이미지가 하나도 없어 이미지 전송이 꺼지므로 전송되지 않습니다.").arg(source);
    if (parts.size() - 2 > MaxInsertedImageDepth)
        return QStringLiteral("이미지 %1: 폴더가 너무 깊어 전송되지 않습니다.").arg(source);
    QString path = job.WorkFolder;
    for (const QString& part : parts) {
        path += QLatin1Char('/') + part;
        const QFileInfo info(path);
        if (part.startsWith(QLatin1Char('.')))
            return QStringLiteral("이미지 %1: 이름이 \".\"으로 시작하는 숨은 파일이나 폴더는 전송되지 않습니다.").arg(source);
        if (info.isSymLink())
            return QStringLiteral("이미지 %1: 링크는 전송되지 않습니다.").arg(source);
    }
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("이미지 %1이(가) 없습니다.").arg(source);
    if (!info.fileName().endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive))
        return QStringLiteral("이미지 %1: 확장자가 .jpg가 아니어서 전송되지 않습니다.").arg(source);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("이미지 %1을(를) 읽을 수 없습니다: %2").arg(source, f.errorString());
    const QByteArray head = f.read(8);
    if (!head.startsWith("\xFF\xD8\xFF")) {
        const QString kind = head.startsWith("\x89PNG") ? QStringLiteral("PNG")
                             : head.startsWith("GIF8")   ? QStringLiteral("GIF")
                                                         : QStringLiteral("알 수 없는 형식");
        return QStringLiteral("이미지 %1: 내용이 JPEG가 아닙니다 (%2).").arg(source, kind);
    }
    return {};
}

QStringList ArticleImageProblems(const TJobDefine& job, int article, const QString& title, const QStringList& lines,
                                 bool sourceImagesAvailable)
{
    QStringList out;
    for (const QString& source : ImageTagSources(lines))
        if (const QString why = ImageSourceProblem(job, source, sourceImagesAvailable); !why.isEmpty())
            out << QStringLiteral("기사 %1(%2): ").arg(article).arg(title) + why;
    return out;
}

QList<TJobProblem> RunJobPreflight(const TJobDefine& job, const QStringList& keywordTabIds,
                                   const TProductRows& products)
{
    return Preflight(job, keywordTabIds, products).Go();
}
