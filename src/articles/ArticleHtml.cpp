#include "articles/ArticleHtml.h"

#include "jobs/JobLayout.h"
#include "shell/Runtime.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"
#include "shell/StyleSheet.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"

#include <QDir>
#include <QUrl>
#include <atomic>

QStringList DefaultNoBrTags()
{
    return myLIB.no_br_tag;
}

namespace {

bool IsIdChar(QChar c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

QString IdRun(const QString& text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && IsIdChar(text[end]))
        ++end;
    return from < text.size() ? text.mid(from, end - from) : QString();
}

bool IsFootnoteTag(const QString& text, qsizetype at)
{
    return QStringView(text).mid(at, 3).compare(QLatin1String("FN>"), Qt::CaseInsensitive) == 0;
}

// Heading ends and the block tags break the line themselves.
bool NeedsBreak(const QString& line, const QStringList& noBrTags)
{
    if (!line.endsWith('>'))
        return true;
    const qsizetype n = line.size();
    if (n >= 3 && (line[n - 3] == 'h' || line[n - 3] == 'H') && line[n - 2].isDigit()
        && line[n - 2] >= '0' && line[n - 2] <= '9')
        return false;
    const QStringView fromSecond = QStringView(line).mid(1);
    for (const QString& tag : noBrTags) {
        if (tag.isEmpty())
            continue;
        if (fromSecond.startsWith(tag, Qt::CaseInsensitive) || line.endsWith(tag + '>', Qt::CaseInsensitive))
            return false;
    }
    return true;
}

} // namespace

bool ArticleToHtml(QStringList& output, const QStringList& lines, int mode, Interaction& ui,
                   const QStringList& noBrTags)
{
    const bool preview = mode == HtmlPreviewMode;
    bool allOk = true;
    const int count = int(lines.size());
    for (int i = 0; i < count; ++i) {
        const int first = i; // the line this output line started from, for messages
        QString rest = TrimBlanks(lines[i]);
        QString prefix;
        bool joined = false;
        // Indices instead of copies: a huge line with many tags stays linear.
        qsizetype start = 0; // text of `rest` before this is already in `prefix`
        qsizetype scan = 0;
        qsizetype p;
        while ((p = rest.indexOf('<', scan)) >= 0) {
            if (!IsFootnoteTag(rest, p + 1)) {
                scan = p + 1;
                continue;
            }
            const qsizetype nameAt = p + 4;
            const QString name = IdRun(rest, nameAt);
            QString error;
            qsizetype close = -1;
            if (name.isEmpty()) {
                error = QStringLiteral("각주(fn) 태그 오류... 각주번호 없음...");
            } else {
                close = rest.indexOf(QLatin1String("</"), nameAt);
                if (close < 0)
                    error = QStringLiteral("각주(fn) 태그 오류... \"</\" 없음...");
                else if (!IsFootnoteTag(rest, close + 2))
                    error = QStringLiteral("각주(fn) 태그 오류... \"</fn>\" 없음...");
            }
            if (error.isEmpty()) {
                const QString content = rest.mid(nameAt, close - nameAt);
                prefix += QStringView(rest).mid(start, p - start);
                if (preview)
                    prefix += QStringLiteral("<a href=\"#%1\" name=\"bon%1\"><sup>%2</sup></a>").arg(name, content);
                else
                    prefix += QStringLiteral("<a href=\"#%1\"><sup>%2</sup></a>").arg(name, content);
                start = close + 5;
                scan = start;
                joined = false;
                continue;
            }
            // A reference may run onto the next line: join once and look again.
            if (!joined && i + 1 < count) {
                ++i;
                rest += lines[i];
                joined = true;
                scan = p;
                continue;
            }
            ui.ShowInfo(error + "\r\n\r\n\r\n" + lines[first] + "\r\n");
            allOk = false;
            break;
        }
        QString line = prefix;
        line += QStringView(rest).mid(start);

        if (preview && line.size() > 15 && line.startsWith(QLatin1String("<A NAME="), Qt::CaseInsensitive)) {
            const QString name = IdRun(line, 9);
            if (!name.isEmpty()) {
                line = QStringLiteral("<A href=\"#bon%1\"").arg(name) + line.mid(2);
            } else {
                ui.ShowInfo(QStringLiteral("각주의 footer에 번호 매김이 잘못되었습니다.\r\n\r\n\r\n") + line + "\r\n");
                allOk = false;
            }
        }

        line = TrimBlanks(line);
        if (line.isEmpty())
            line = QStringLiteral("<br>");
        else if (NeedsBreak(line, noBrTags))
            line += QStringLiteral("<br>");
        output.append(line);
    }
    return allOk;
}

QString PageStyleSheetPath()
{
    return PendroluxCssFileName();
}

QStringList PageHeaderLines()
{
    const QString css = QUrl::fromLocalFile(PageStyleSheetPath()).toString(QUrl::FullyEncoded);
    return {
        QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                       "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"),
        QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">"),
        QStringLiteral("<head>"),
        QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"),
        QStringLiteral("<title>펜드로룩스 디지털 컨텐츠</title>"),
        QStringLiteral("<link rel=\"stylesheet\" href=\"%1\" type=\"text/css\"></link>").arg(css),
        QStringLiteral("<script>"),
        // The font-size script: every rule of every style sheet gets the size; a sheet the
        // engine will not let the page touch (a file of another origin) is passed over, and
        // when no rule could be set the page's own body rule carries the size.
        QStringLiteral("var oSize = 12;"),
        QStringLiteral("var cSize = oSize;"),
        QStringLiteral("function nFontSize(sz) {"),
        QStringLiteral("  if (sz == 0) cSize = oSize;"),
        QStringLiteral("  else if (sz == 1 || sz == -1) cSize = cSize + sz * 2;"),
        QStringLiteral("  else cSize = sz;"),
        QStringLiteral("  var head = document.getElementsByTagName(\"head\")[0], done = 0;"),
        QStringLiteral("  if (document.styleSheets.length == 0) head.appendChild(document.createElement(\"style\"));"),
        QStringLiteral("  for (var i = 0; i < document.styleSheets.length; i++) {"),
        QStringLiteral("    var rules = null;"),
        QStringLiteral("    try { rules = document.styleSheets[i].cssRules; } catch (e) { rules = null; }"),
        QStringLiteral("    if (!rules) continue;"),
        QStringLiteral("    for (var j = 0; j < rules.length; j++)"),
        QStringLiteral("      if (rules[j].style) { rules[j].style.fontSize = cSize + \"pt\"; done++; }"),
        QStringLiteral("  }"),
        QStringLiteral("  if (done > 0) return;"),
        QStringLiteral("  var own = document.getElementById(\"nFontSizeStyle\");"),
        QStringLiteral("  if (!own) { own = document.createElement(\"style\"); own.id = \"nFontSizeStyle\"; head.appendChild(own); }"),
        QStringLiteral("  own.textContent = \"body, td, th { font-size: \" + cSize + \"pt; }\";"),
        QStringLiteral("}"),
        QStringLiteral("</script>"),
        QStringLiteral("</HEAD>"),
        QStringLiteral("<BODY>"),
        QString(),
    };
}

QStringList PageFooterLines()
{
    return {QStringLiteral("</BODY>"), QStringLiteral("</HTML>")};
}

QStringList BuildPage(const QStringList& body)
{
    return PageHeaderLines() + body + PageFooterLines();
}

static std::atomic<int> g_previewCounter{0};

int NextPreviewPageNumber()
{
    int current = g_previewCounter.load();
    int next;
    do {
        next = (current + 1) % 5;
    } while (!g_previewCounter.compare_exchange_weak(current, next));
    return next;
}

void ResetPreviewPageCounter()
{
    g_previewCounter = 0;
}

QString WritePreviewPage(const TJobDefine& job, const QStringList& pageLines, QString* error)
{
    const int number = NextPreviewPageNumber();
    QString path;
    if (!job.WorkFolder.isEmpty() && QDir(job.WorkFolder).exists())
        path = PreviewPageFileName(job, number);
    else
        path = DataFolder() + '/' + PreviewPageName(number);
    QString why;
    if (!WriteTextLines(path, pageLines, TextEncoding::Utf16LE, &why)) {
        if (error)
            *error = path + QStringLiteral(": 미리보기 파일을 저장할 수 없습니다.") + (why.isEmpty() ? "" : "\r\n" + why);
        return {};
    }
    return path;
}

static QString DigitsAt(const QString& url, qsizetype from)
{
    qsizetype end = from;
    while (end < url.size() && url[end] >= '0' && url[end] <= '9')
        ++end;
    return url.mid(from, end - from);
}

TInnerLink ParseInnerLink(const QString& url)
{
    TInnerLink link;
    static const QString prefix = QStringLiteral("INNERREFER://page=");
    const qsizetype at = url.indexOf(prefix, 0, Qt::CaseInsensitive);
    if (at < 0)
        return link;
    const QString page = DigitsAt(url, at + prefix.size());
    // A number beyond any tree is no article either.
    if (page.isEmpty() || page.size() > 9)
        return link;
    link.handled = true;
    link.page = page.toInt();
    const qsizetype tap = url.indexOf(QLatin1String("&TAP="), 0, Qt::CaseInsensitive);
    if (tap >= 0) {
        link.tabId = DigitsAt(url, tap + 5);
        link.hasTab = !link.tabId.isEmpty();
    }
    return link;
}

TNavigation DecideNavigation(const QString& url, TInnerLink* link)
{
    if (url.contains(QLatin1String("res://"), Qt::CaseInsensitive))
        return TNavigation::Refuse;
    const TInnerLink inner = ParseInnerLink(url);
    if (link)
        *link = inner;
    if (inner.handled)
        return TNavigation::InnerLink;
    if (url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return TNavigation::OpenExternal;
    return TNavigation::Navigate;
}
