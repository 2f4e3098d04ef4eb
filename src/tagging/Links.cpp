#include "tagging/Links.h"

#include "articles/ArticleIndex.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <climits>

namespace {

bool IsLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

int LineEnd(const QString& text, int from)
{
    int i = from;
    while (i < text.size() && !IsLineBreak(text[i]))
        ++i;
    return i;
}

// Decimal digits at the start of `s`; `found` false when there are none. Numbers too big for an
// int become INT_MAX, which no tree reaches.
int LeadingNumber(const QString& s, bool* found)
{
    qint64 value = 0;
    int i = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        value = qMin<qint64>(value * 10 + (s[i].unicode() - u'0'), qint64(INT_MAX));
        ++i;
    }
    *found = i > 0;
    return int(value);
}

QString LeadingDigits(const QString& s)
{
    int i = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
        ++i;
    return s.left(i);
}

void ReadInnerRest(TLinkAtCaret& link)
{
    bool digits = false;
    const int node = LeadingNumber(link.rest, &digits);
    link.node = digits ? node : 1;
    // "&tap=" right at the start (no page number before it) counts as no tab part.
    const int tap = int(link.rest.indexOf(QStringLiteral("&tap="), 0, Qt::CaseInsensitive));
    link.hasTab = tap >= 1;
    if (link.hasTab) {
        const QString after = link.rest.mid(tap + 5);
        const int quote = int(after.indexOf(u'"'));
        link.tabId = quote < 0 ? after : after.left(quote);
    }
}

void ReadProductRest(TLinkAtCaret& link)
{
    const int at = int(link.rest.indexOf(QStringLiteral("&proid=")));
    link.hasProid = at >= 0;
    if (!link.hasProid)
        return;
    link.svcid = link.rest.left(at);
    link.proid = LeadingDigits(link.rest.mid(at + 7));
}

} // namespace

QString ContentSiteHost()
{
    QString url = ContentBaseURL();
    for (const QString& scheme : {QStringLiteral("http://"), QStringLiteral("https://")})
        if (url.startsWith(scheme, Qt::CaseInsensitive)) {
            url = url.mid(scheme.size());
            break;
        }
    return url;
}

QString ProductLinkPrefix(const QString& host)
{
    return QStringLiteral("<A HREF=\"http://") + host + QStringLiteral("/pcontent/?svcid=");
}

QString InnerLinkTag(int node, const QString& tabId, bool withTab)
{
    QString tag = InnerLinkPrefix + QString::asprintf("%.4d", node);
    if (withTab)
        tag += QStringLiteral("&tap=") + tabId;
    return tag + QStringLiteral("\">");
}

QString ProductLinkTag(const QString& host, const QString& svcid, const QString& proid)
{
    return ProductLinkPrefix(host) + QStringLiteral("%1&proid=%2").arg(svcid, proid) + QStringLiteral("\">");
}

bool WrapInLink(const QString& text, int selStart, int selEnd, const QString& openTag, TTextChange* change)
{
    const int s = qBound(0, qMin(selStart, selEnd), int(text.size()));
    const int e = qBound(0, qMax(selStart, selEnd), int(text.size()));
    const QString selected = text.mid(s, e - s);
    if (TrimBlanks(selected).isEmpty())
        return false;
    *change = {s, e - s, openTag + selected + LinkEnd};
    return true;
}

TLinkAtCaret LinkAtCaret(const QString& text, int caret, const QString& productPrefix)
{
    TLinkAtCaret link;
    int i = qBound(0, caret, int(text.size())) - 1;
    for (; i >= 0; --i) {
        const QChar c = text[i];
        if (IsLineBreak(c) || c == u'>')
            return link;
        if (c == u'<')
            break;
    }
    if (i < 0)
        return link;
    link.tagStart = i;
    const int lineEnd = LineEnd(text, i);
    const QString line = text.mid(i, lineEnd - i);
    int prefix = 0;
    if (line.startsWith(InnerLinkPrefix, Qt::CaseInsensitive)) {
        link.kind = TLinkKind::Inner;
        prefix = int(InnerLinkPrefix.size());
    } else if (!productPrefix.isEmpty() && line.startsWith(productPrefix, Qt::CaseInsensitive)) {
        link.kind = TLinkKind::Product;
        prefix = int(productPrefix.size());
    } else {
        link.kind = TLinkKind::OtherTag;
        return link;
    }
    const int gt = int(line.indexOf(u'>', prefix));
    link.rest = gt < 0 ? line.mid(prefix) : line.mid(prefix, gt - prefix);
    link.tagEnd = gt < 0 ? -1 : i + gt + 1;
    if (link.kind == TLinkKind::Inner)
        ReadInnerRest(link);
    else
        ReadProductRest(link);
    return link;
}

int InnerLinkTab(const TJobDefine& job, const TLinkAtCaret& link, QString* message)
{
    if (job.TabsCount < 2 || !link.hasTab)
        return 0;
    const int tab = TabIndexById(job, link.tabId);
    if (tab < 0 && message)
        *message = QStringLiteral("tap의 arid[") + link.tabId + QStringLiteral("] 지정 오류입니다.");
    return tab;
}

bool UnwrapLink(const QString& text, int selStart, int selEnd, const QString& productPrefix, TTextChange* tag,
                TTextChange* end)
{
    const int s = qBound(0, qMin(selStart, selEnd), int(text.size()));
    const int e = qBound(0, qMax(selStart, selEnd), int(text.size()));
    const QString selected = text.mid(s, e - s);
    if (!selected.startsWith(InnerLinkPrefix) && (productPrefix.isEmpty() || !selected.startsWith(productPrefix)))
        return false;
    // Only the opening tag goes, even when the selection was stretched beyond it.
    const int lineEnd = LineEnd(text, s);
    const int gt = int(text.indexOf(u'>', s));
    const int tagEnd = gt >= 0 && gt < lineEnd ? gt + 1 : e;
    *tag = {s, tagEnd - s, {}};
    // The end is looked for from the end of the tag on, so a link with an empty text loses its
    // own "</A>" and not the one of the next link.
    const int close = int(text.indexOf(LinkEnd, tagEnd, Qt::CaseInsensitive));
    *end = close >= 0 ? TTextChange{close, int(LinkEnd.size()), {}} : TTextChange{};
    return true;
}

TProductRows ParseBookInfo(const QStringList& lines)
{
    TProductRows rows;
    for (const QString& line : lines) {
        QStringList fields = SplitFields(line, QStringLiteral("^"));
        if (fields.isEmpty())
            continue;
        fields = fields.mid(0, 4);
        while (fields.size() < 4)
            fields << QString();
        rows << fields;
    }
    return rows;
}

TProductRows LoadBookInfo(const QString& path)
{
    QStringList lines;
    if (!QFileInfo(path).isFile() || !ReadTextLines(path, lines))
        return {};
    return ParseBookInfo(lines);
}

void SortProducts(TProductRows& rows, int order)
{
    const int column = order == OrderFavourite ? 0 : 3;
    QCollator collator(QLocale::system());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    // The key, then the whole row, as one text; folded first so that case never counts, even
    // where the collator of the locale does not honour the setting.
    struct Keyed {
        QString key;
        QStringList row;
    };
    QList<Keyed> keyed;
    keyed.reserve(rows.size());
    for (const QStringList& row : rows)
        keyed.append({(row.value(column) + u'@' + row.join(u'\n')).toCaseFolded(), row});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&](const Keyed& a, const Keyed& b) { return collator.compare(a.key, b.key) < 0; });
    if (order == OrderNameDescending)
        std::reverse(keyed.begin(), keyed.end());
    rows.clear();
    for (const Keyed& k : keyed)
        rows << k.row;
}

int FindProductByName(const TProductRows& rows, const QString& text, int selected)
{
    const int n = int(rows.size());
    if (text.isEmpty() || n == 0)
        return -1;
    const int first = selected >= 0 && selected < n ? selected + 1 : 0;
    for (int step = 0; step < n; ++step) {
        const int r = (first + step) % n;
        if (rows[r].value(3).contains(text, Qt::CaseSensitive))
            return r;
    }
    return -1;
}

int FindProduct(const TProductRows& rows, const QString& svcid, const QString& proid)
{
    for (int r = 0; r < rows.size(); ++r)
        if (rows[r].value(1) == proid && rows[r].value(2) == svcid)
            return r;
    return -1;
}

QList<TFoundLink> FindLinks(const QString& text, const TJobDefine& job, const QList<int>& treeSizes,
                            const TProductRows& products)
{
    static const QRegularExpression opening(
        QStringLiteral("<a href=\"(?:innerrefer://page=|https?://[^\"\\n\\r>]*?/pcontent/\\?svcid=)"),
        QRegularExpression::CaseInsensitiveOption);
    QList<int> starts;
    QList<int> prefixLengths;
    for (auto it = opening.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        starts << int(m.capturedStart());
        prefixLengths << int(m.capturedLength());
    }
    QList<TFoundLink> found;
    for (int k = 0; k < starts.size(); ++k) {
        const int s = starts[k];
        const int lineEnd = LineEnd(text, s);
        const int restStart = s + prefixLengths[k];
        const int gt = int(text.indexOf(u'>', restStart));
        const bool tagClosed = gt >= 0 && gt < lineEnd;
        TLinkAtCaret link;
        link.rest = text.mid(restStart, (tagClosed ? gt : lineEnd) - restStart);
        const bool inner = text.mid(s, prefixLengths[k]).startsWith(InnerLinkPrefix, Qt::CaseInsensitive);
        QStringList problems;
        TFoundLink f;
        if (inner) {
            link.kind = TLinkKind::Inner;
            ReadInnerRest(link);
            bool digits = false;
            LeadingNumber(link.rest, &digits);
            int tab = 0;
            QString tabName;
            if (job.TabsCount >= 2 && !link.hasTab) {
                problems << QStringLiteral("missing-tab-id");
                tab = -1;
                tabName = QStringLiteral("?");
            } else if (job.TabsCount >= 2) {
                tab = TabIndexById(job, link.tabId);
                if (tab < 0) {
                    problems << QStringLiteral("unknown-tab-id");
                    tabName = u'?' + link.tabId;
                }
            }
            if (tab >= 0 && tab < job.TabsCount)
                tabName = job.TabsName[size_t(tab)];
            if (!digits)
                problems << QStringLiteral("bad-page");
            else if (tab >= 0 && tab < treeSizes.size() && treeSizes[tab] >= 0
                     && (link.node < 1 || link.node >= treeSizes[tab]))
                problems << QStringLiteral("page-beyond-tree");
            f.target = QStringLiteral("inner:%1:%2").arg(tabName).arg(link.node);
        } else {
            link.kind = TLinkKind::Product;
            ReadProductRest(link);
            if (!link.hasProid) {
                problems << QStringLiteral("bad-product-link");
                f.target = QStringLiteral("product:%1:").arg(link.rest);
            } else {
                f.target = QStringLiteral("product:%1:%2").arg(link.svcid, link.proid);
                if (FindProduct(products, link.svcid, link.proid) < 0)
                    problems << QStringLiteral("unknown-product");
            }
        }
        if (!tagClosed) {
            problems << QStringLiteral("unclosed-tag");
        } else {
            const int next = k + 1 < starts.size() ? starts[k + 1] : int(text.size());
            const int close = int(text.indexOf(LinkEnd, gt + 1, Qt::CaseInsensitive));
            if (close < 0 || close > next)
                problems << QStringLiteral("missing-end");
            else
                f.text = text.mid(gt + 1, close - gt - 1);
        }
        for (QChar& c : f.text)
            if (IsLineBreak(c) || c == u'\t')
                c = u' ';
        f.problem = problems.join(u',');
        found << f;
    }
    return found;
}

namespace {

class QuietInteraction : public Interaction {
public:
    void ShowInfo(const QString&) override {}
    bool AskYesNo(const QString&) override { return false; }
};

} // namespace

TLinkCheck CheckJobLinks(const TJobDefine& job, const QList<bool>& tabs, const TProductRows& products,
                         Interaction& ui)
{
    TLinkCheck check;
    const int count = qBound(0, job.TabsCount, MaxTabs);
    QList<TArticleTree> trees(count);
    QList<int> sizes(count, -1);
    for (int t = 0; t < count; ++t) {
        // Target trees of tabs that are not checked are read without their messages.
        QuietInteraction quiet;
        const bool chosen = tabs.value(t);
        if (LoadArticleTree(job, t, trees[t], chosen ? ui : static_cast<Interaction&>(quiet)))
            sizes[t] = trees[t].count();
        else if (chosen)
            check.complete = false;
    }
    const QDir jobDir(job.WorkFolder);
    for (int t = 0; t < count; ++t) {
        if (!tabs.value(t))
            continue;
        for (int n = 1; n < trees[t].count(); ++n) {
            if (ui.StopRequested()) {
                check.complete = false;
                return check;
            }
            const QString path = ArticleFileName(job, t, &trees[t].node(n));
            QStringList lines;
            if (path.isEmpty() || !LoadArticleText(lines, path, ui)) {
                check.complete = false;
                continue;
            }
            QuietInteraction quiet;
            const QString stored = ArticleStoragePath(path, quiet);
            const QString file = jobDir.relativeFilePath(QFileInfo(stored).isFile() ? stored : path);
            for (TFoundLink& f : FindLinks(lines.join(u'\n'), job, sizes, products)) {
                f.file = file;
                check.links << f;
            }
        }
    }
    return check;
}
