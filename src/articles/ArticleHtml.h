#pragma once
// Article lines to HTML lines, the preview pages and the rules of the preview view's links.

#include "jobs/JobDefine.h"

#include <QString>
#include <QStringList>

class Interaction;

enum TArticleHtmlMode { HtmlUploadMode = 0, HtmlPreviewMode = 1 };

// The session's tags after which no "<br>" is added (myLIB.no_br_tag: td, th, tr, table, p, ul,
// li, span, div, hr).
QStringList DefaultNoBrTags();

// Appends one HTML line per article line (a footnote reference that runs onto the next line
// joins the two). False when a footnote error was shown; the conversion still completes.
bool ArticleToHtml(QStringList& output, const QStringList& lines, int mode, Interaction& ui,
                   const QStringList& noBrTags = DefaultNoBrTags());

// The 31 lines in front of every preview page; the style sheet is the one in the data folder.
QStringList PageHeaderLines();
QString PageStyleSheetPath();
// "</BODY>", "</HTML>".
QStringList PageFooterLines();
// Header, body, footer.
QStringList BuildPage(const QStringList& body);

// Pages rotate unit1, unit2, unit3, unit4, unit0, unit1, ...: advances and returns the number.
int NextPreviewPageNumber();
void ResetPreviewPageCounter();

// Writes the next preview page (UTF-16LE with byte-order mark) into the job folder, or the data
// folder when no job is open; returns its path, or empty with `error` set.
QString WritePreviewPage(const TJobDefine& job, const QStringList& pageLines, QString* error = nullptr);

// A link between articles: "INNERREFER://page=N" with an optional "&TAP=ID".
struct TInnerLink {
    bool handled = false; // the URL is an inner link with a page number
    int page = 0;
    bool hasTab = false;
    QString tabId;
};
TInnerLink ParseInnerLink(const QString& url);

enum class TNavigation {
    Refuse,       // the engine's internal pages
    InnerLink,    // handled by FollowInnerLink
    OpenExternal, // web addresses go to the system browser
    Navigate      // preview pages and other files load in the view
};
TNavigation DecideNavigation(const QString& url, TInnerLink* link = nullptr);
