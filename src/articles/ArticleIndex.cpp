#include "articles/ArticleIndex.h"

#include "jobs/JobLayout.h"
#include "shell/Runtime.h"
#include "shell/Interaction.h"
#include "shell/TextFile.h"

#include <QFileInfo>

int TArticleTree::addRoot(const QString& tabName)
{
    m_nodes.clear();
    TArticleNode root;
    root.title = tabName;
    m_nodes.push_back(std::move(root));
    return 0;
}

int TArticleTree::addChild(int parent, const QString& title, const THeaderInfo& info)
{
    const int index = count();
    TArticleNode n;
    n.title = title;
    n.info = info;
    n.parent = parent;
    n.depth = m_nodes[size_t(parent)].depth + 1;
    m_nodes.push_back(std::move(n));
    m_nodes[size_t(parent)].children.push_back(index);
    return index;
}

static QString IndexDataError(int lineNumber)
{
    return QStringLiteral("index 데이터(줄번호:%1) 오류입니다.").arg(lineNumber);
}

// Whole decimal numbers only, as the generator writes them; blanks around are tolerated.
static bool ParseLevel(const QString& text, int& level)
{
    const QString t = TrimBlanks(text);
    if (t.isEmpty() || t.size() > 9)
        return false;
    int start = (t[0] == '-' || t[0] == '+') ? 1 : 0;
    if (start == t.size())
        return false;
    for (int i = start; i < t.size(); ++i)
        if (t[i] < '0' || t[i] > '9')
            return false;
    level = t.toInt();
    return true;
}

int AddIndexEntry(TArticleTree& tree, int node, const QStringList& lines, int position, Interaction& ui)
{
    if (position < 0 || position + 2 >= lines.size())
        return -1;
    int level = 0;
    if (!ParseLevel(lines[position + 1], level)) {
        ui.ShowInfo(IndexDataError(position + 2));
        return -1;
    }
    if (!tree.valid(node)) {
        ui.ShowInfo(IndexDataError(position));
        return -1;
    }
    int parent = node;
    while (tree.node(parent).info.htagNum >= level && tree.node(parent).parent >= 0)
        parent = tree.node(parent).parent;
    return tree.addChild(parent, lines[position + 2], THeaderInfo{lines[position], level});
}

static QString IndexMissingMessage(const QString& path)
{
    return QStringLiteral("index 파일(%1)이 없습니다. 기본작업 -> \"기사 생성\"을 실행하십시오.").arg(path);
}

static QString IndexFaultyMessage(const QString& path)
{
    return QStringLiteral("index 파일(%1) 오류입니다. 기본작업 -> \"기사 생성\"을 실행하십시오.").arg(path);
}

bool LoadArticleTree(const TJobDefine& job, int tab, TArticleTree& tree, Interaction& ui)
{
    tree.clear();
    if (tab < 0 || tab >= job.TabsCount || tab >= MaxTabs) {
        ui.ShowInfo(QStringLiteral("탭이 선택되지 않았습니다."));
        return false;
    }
    const QString problem = TabNameProblem(job.TabsName[tab]);
    if (!problem.isEmpty()) {
        ui.ShowInfo(problem);
        return false;
    }
    const QString path = ArticleIndexFileName(job, tab);
    if (!QFileInfo(path).isFile()) {
        ui.ShowInfo(IndexMissingMessage(path));
        return false;
    }
    QStringList lines;
    QString error;
    if (!ReadTextLines(path, lines, &error)) {
        ui.ShowInfo(path + QStringLiteral(": 지정하신 파일을 열 수 없습니다.") + (error.isEmpty() ? "" : "\r\n" + error));
        return false;
    }
    if (lines.size() < 3) {
        ui.ShowInfo(IndexFaultyMessage(path));
        return false;
    }
    const int maximum = int(lines.size() / 3);
    ui.Status(1, QStringLiteral("기사[%1] 인덱스를 읽고 있습니다.").arg(job.TabsName[tab]));
    ui.Progress(0, 0, maximum);
    tree.reserve(maximum + 1);
    int node = tree.addRoot(job.TabsName[tab]);
    // Progress is shown a hundred times per load at most: per-entry repaints would cost more
    // than the reading itself.
    const int step = qMax(1, maximum / 100);
    bool ok = true;
    int done = 0;
    for (int p = 0; p + 2 < lines.size(); p += 3) {
        node = AddIndexEntry(tree, node, lines, p, ui);
        ++done;
        if (node < 0) {
            // One message is enough: every later entry has no place in the tree.
            ok = false;
            break;
        }
        if (done % step == 0 || done == maximum) {
            ui.Progress(0, done, maximum);
            ui.Status(0, QStringLiteral("%1 / %2").arg(done).arg(maximum));
        }
    }
    ui.Status(1, QStringLiteral("트리를 구성하고 있습니다."));
    ui.Progress(0, maximum, maximum);
    return ok;
}

static bool SafeArticleId(const QString& id)
{
    return !id.isEmpty() && id != "." && id != ".." && !id.contains('/') && !id.contains('\\')
        && !id.contains(QChar(0));
}

QString ArticleFileName(const TJobDefine& job, int tab, const TArticleNode* node)
{
    if (!node)
        return QStringLiteral("noname.txt");
    const QString folder = ArticleFolderName(job, tab);
    if (folder.isEmpty() || !SafeArticleId(node->info.id))
        return {};
    return folder + '/' + node->info.id + ".txt";
}

QString ArticleStoragePath(const QString& path, Interaction& ui)
{
    const int slash = int(qMax(path.lastIndexOf('/'), path.lastIndexOf('\\')));
    const QString dir = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    int cut = int(name.indexOf('_'));
    if (cut < 0)
        cut = int(name.indexOf('.'));
    bool ok = cut > 0 && cut <= 9;
    const QString number = ok ? name.left(cut) : QString();
    for (QChar c : number)
        ok = ok && c >= '0' && c <= '9';
    if (!ok) {
        ui.ShowInfo(path + QStringLiteral(": 파일 형식이 다릅니다."));
        return {};
    }
    return dir + QString::asprintf("%.4d", number.toInt()) + '/' + name;
}

bool LoadArticleContent(QString& text, const QString& path, Interaction& ui)
{
    text.clear();
    const QString stored = ArticleStoragePath(path, ui);
    if (stored.isEmpty())
        return false;
    // Read where it is instead of asking first: a run over a whole tab opens every article.
    QByteArray bytes;
    if (!ReadFileBytes(stored, bytes) && !ReadFileBytes(path, bytes)) {
        ui.ShowInfo(path + QStringLiteral(": 지정하신 파일을 열 수 없습니다."));
        return false;
    }
    text = DecodeText(bytes);
    return true;
}

bool LoadArticleText(QStringList& lines, const QString& path, Interaction& ui)
{
    QString text;
    const bool loaded = LoadArticleContent(text, path, ui);
    lines = loaded ? SplitLines(text) : QStringList();
    return loaded;
}

int TabIndexById(const TJobDefine& job, const QString& tabId)
{
    for (int i = 0; i < job.TabsCount && i < MaxTabs; ++i)
        if (job.TabsID[i] == tabId)
            return i;
    return -1;
}

QString LongSourceLineMessage(const QString& path, int lineIndex)
{
    return QStringLiteral("파일 : ") + path + "\r\n" + QStringLiteral("줄번호 #") + QString::number(lineIndex + 1)
        + "\r\n" + QStringLiteral("길이가 너무 깁니다.") + "\r\n" + QStringLiteral("한 줄 당 최대 ")
        + QString::number(MaxSourceLineLength) + QStringLiteral("글자 이하만 가능합니다.") + "\r\n"
        + QStringLiteral("다른 편집기로 원문을 수정한 후 작업을 하거나, ")
        + QStringLiteral("기본 작업 -> \"기사 생성\" 작업을 다시 실행하십시오.");
}

int CheckSourceLines(const QStringList& lines, const QString& path, Interaction& ui)
{
    Q_UNUSED(path);
    const int count = int(lines.size());
    const bool large = count > LargeTextLines;
    if (large) {
        ui.Status(1, QStringLiteral("분석 중입니다..."));
        ui.Status(0, QStringLiteral("Lines"));
        ui.Progress(0, 0, count);
        ui.ClearStop();
    }
    for (int i = 0; i < count; ++i) {
        if (lines[i].size() > MaxSourceLineLength)
            return i;
        if (large && i % 100 == 0) {
            ui.Status(0, QStringLiteral("%1 / %2").arg(i).arg(count));
            ui.Progress(0, i, count);
            if (ConfirmStop(ui))
                return -2;
        }
    }
    return -1;
}

bool LoadSourceText(const QString& path, QStringList& lines, Interaction& ui, bool* stopped)
{
    if (stopped)
        *stopped = false;
    if (!LoadArticleText(lines, path, ui))
        return false;
    const int bad = CheckSourceLines(lines, path, ui);
    if (bad == -2) {
        if (stopped)
            *stopped = true;
        lines.clear();
        return false;
    }
    if (bad >= 0) {
        ui.ShowInfo(LongSourceLineMessage(path, bad));
        lines.clear();
        return false;
    }
    return true;
}

QList<HeadingSpan> FindHeadingSpans(const QString& text)
{
    QList<HeadingSpan> spans;
    int line = 0;
    int scanned = 0; // characters before `scanned` have been counted into `line`
    qsizetype s = text.indexOf(QLatin1String("<h"), 0, Qt::CaseInsensitive);
    while (s >= 0) {
        for (; scanned < s; ++scanned) {
            const QChar c = text[scanned];
            if (c == '\n' || c == QChar(0x2029)
                || (c == '\r' && (scanned + 1 >= text.size() || text[scanned + 1] != '\n')))
                ++line;
        }
        if (s + 2 < text.size() && text[s + 2] >= '0' && text[s + 2] <= '9') {
            qsizetype end = s;
            while (end < text.size() && text[end] != '\n' && text[end] != '\r' && text[end] != QChar(0x2029))
                ++end;
            spans.append(HeadingSpan{int(s), int(end - s), line});
        }
        s = text.indexOf(QLatin1String("<h"), s + 4, Qt::CaseInsensitive);
    }
    return spans;
}
