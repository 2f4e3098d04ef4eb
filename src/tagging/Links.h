#pragma once
// Links written into article text: inner links to an article of the product
// (<A HREF="INNERREFER://page=0012&tap=ID">…</A>) and product links to another product of the
// service, the product list of "bookinfo.ini", and the check of every link of a job.

#include "jobs/JobDefine.h"

#include <QList>
#include <QString>
#include <QStringList>

class Interaction;

inline const QString InnerLinkPrefix = QStringLiteral("<A HREF=\"INNERREFER://page=");
inline const QString LinkEnd = QStringLiteral("</A>");

// The content site's host as links carry it: the configured content URL without its scheme.
QString ContentSiteHost();
// <A HREF="http:// + host + /pcontent/?svcid=
QString ProductLinkPrefix(const QString& host);

// The opening tag of an inner link; the tab part only when the job has two or more tabs.
QString InnerLinkTag(int node, const QString& tabId, bool withTab);
QString ProductLinkTag(const QString& host, const QString& svcid, const QString& proid);

// One change of the editor's text, in positions of the text before any change.
struct TTextChange {
    int start = 0;
    int length = 0;
    QString replacement;
};

// The selection [selStart, selEnd) wrapped in `openTag` … "</A>". False when the selected text is
// blank. The new opening tag begins at `change->start`.
bool WrapInLink(const QString& text, int selStart, int selEnd, const QString& openTag, TTextChange* change);

enum class TLinkKind {
    None,     // no tag at the caret
    OtherTag, // a tag, but no link
    Inner,
    Product,
};

struct TLinkAtCaret {
    TLinkKind kind = TLinkKind::None;
    int tagStart = -1;      // the "<"
    int tagEnd = -1;        // just after the ">"; -1 when the line has none (a cut-off tag)
    QString rest;           // the tag after its prefix, up to the ">"
    int node = 1;           // inner: the page number at the start of `rest` (1 without digits)
    bool hasTab = false;    // inner: "&tap=" after the page number
    QString tabId;          //        what follows "&tap=" up to the next double quote
    bool hasProid = false;  // product: "&proid=" present
    QString svcid, proid;
};

// The tag around the caret: looking back from the character before the caret, within its line,
// for a "<" that no ">" precedes. Line breaks are LF, CR or the editor's paragraph separator.
TLinkAtCaret LinkAtCaret(const QString& text, int caret, const QString& productPrefix);

// The job tab an inner link points to: tab 0 in a one-tab job or without a tab part; -1 and the
// message "tap의 arid[…] 지정 오류입니다." when no tab has the identifier.
int InnerLinkTab(const TJobDefine& job, const TLinkAtCaret& link, QString* message);

// Removing the link whose opening tag starts the selection: the tag (up to its ">"), and the first
// "</A>" in any letter case from the end of the tag on. False when the selection does not begin
// with one of the prefixes as written. Apply `end` (when its length is not 0) before `tag`.
bool UnwrapLink(const QString& text, int selStart, int selEnd, const QString& productPrefix, TTextChange* tag,
                TTextChange* end);

// The product list: per product the four cells (frequently-used key, product ID, service ID,
// name), from "bookinfo.ini" lines split at "^".
using TProductRows = QList<QStringList>;
TProductRows LoadBookInfo(const QString& path);
TProductRows ParseBookInfo(const QStringList& lines);

enum TProductOrder { OrderFavourite = 1, OrderName = 2, OrderNameDescending = 3 };
// Text order of the system's locale, letter case ignored; numbers are text ("10" before "9").
void SortProducts(TProductRows& rows, int order);
// The first row after `selected` (wrapping round to it) whose name contains `text`; -1 for none.
int FindProductByName(const TProductRows& rows, const QString& text, int selected);
// The first row with that product ID and service ID; -1 for none.
int FindProduct(const TProductRows& rows, const QString& svcid, const QString& proid);

inline const QString NoProductListMessage =
    QStringLiteral("타 제품에 대한 정보가 없습니다. 타 제품 정보를 얻으려면 로그인하십시요.");
inline const QString ChooseTargetMessage = QStringLiteral("우측 창에서 연결할 제목을 선택하세요.");

// Every link of the articles of the chosen tabs, for the `links` check.
struct TFoundLink {
    QString file;    // the article file, relative to the job folder
    QString target;  // "inner:{tab}:{page}" or "product:{svcid}:{proid}"
    QString text;    // the linked text, line breaks and tabs as spaces
    QString problem; // empty for a sound link
};

struct TLinkCheck {
    QList<TFoundLink> links;
    bool complete = true; // every chosen tab's index and articles could be read
};

// `tabs` ticks the tabs whose articles are read (all target trees are read for the check).
TLinkCheck CheckJobLinks(const TJobDefine& job, const QList<bool>& tabs, const TProductRows& products,
                         Interaction& ui);
// The links of one article's text. `treeSizes` holds the node count of every job tab (-1 when unknown).
QList<TFoundLink> FindLinks(const QString& text, const TJobDefine& job, const QList<int>& treeSizes,
                            const TProductRows& products);
