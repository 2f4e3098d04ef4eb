#pragma once
// The tag editor's work on the articles of one tab: loading a tab and an article, saving an
// article behind a numbered backup, counting the tags an article uses and finding text in it.
// The window drives these from its controls; the command line and the tests call them directly.

#include "articles/ArticleIndex.h"
#include "tools/UsedTags.h"

#include <QString>
#include <QStringList>
#include <functional>

class Interaction;
struct TJobDefine;

inline const QString TabChooserPlaceholder = QStringLiteral("=== 탭 선택 ===");

// The message for a tab without a source folder, or an empty text when it has one.
QString TabSourceMissingMessage(const TJobDefine& job, int tab);
// {job}/{source folder}, as the folder field shows it.
QString TabFolderText(const TJobDefine& job, int tab);
// "기사 개수 : " and the number grouped by thousands.
QString ArticleCountText(int articles);

// Checks the tab's source folder and reads its index. False after the message.
bool LoadTagTab(const TJobDefine& job, int tab, TArticleTree& tree, Interaction& ui);

// Where the article is read from first and always saved to: {job}/work_{tab}/NNNN/{id}.txt.
// Empty after the message when the ID carries no article number.
QString TagArticlePath(const TJobDefine& job, int tab, const TArticleNode& node, Interaction& ui);

// The article's lines, refused (after the message) when it cannot be read or a line is too long.
bool LoadTagArticle(const TJobDefine& job, int tab, const TArticleNode& node, QStringList& lines,
                    Interaction& ui);

// What a walk over a tab's articles saw: read, unreadable (left out), stopped with Esc.
struct TArticleWalk {
    int articles = 0;
    int unreadable = 0;
    bool stopped = false;
};
// Reads articles `first`..`last` of the tab in turn, with progress on bar 0 and Esc polled before
// each; `visit` gets the node's index and its lines.
TArticleWalk WalkTabArticles(const TJobDefine& job, int tab, const TArticleTree& tree, int first, int last,
                             Interaction& ui, const std::function<void(int, const QStringList&)>& visit);

// An editor's text cut into the lines that are saved: paragraph ends and line separators of the
// text document count as line breaks, every other character is kept as it is.
QStringList EditorTextLines(const QString& text);

// Saves an edited article's text where TagArticlePath puts it, after its backup; false after the
// message when it could not be written.
bool SaveEditedArticle(const TJobDefine& job, int tab, const TArticleNode& node, const QString& text, Interaction& ui);

struct TArticleSave {
    bool written = false;
    QString path;   // the file written (or not)
    QString backup; // where the previous version went; empty when there was none
    QString error;  // why the write failed
};
using TTextWriter = std::function<bool(const QString& path, const QStringList& lines, QString* error)>;

// Moves the file at `path` to its next free .NNN.bak and writes the lines there as UTF-16LE with
// byte-order mark and CR LF. When the write fails the backup goes back to `path`, so the article
// on disk stays the last saved one. `writer` replaces the file writer (tests).
TArticleSave SaveArticleWithBackup(const QString& path, const QStringList& lines,
                                   const TTextWriter& writer = {});

// The tag analysis: the opening tags of every line, counted by upper-case name. Progress bar 0
// goes to each line's index before that line is scanned.
TTagTable CountArticleTags(const QStringList& lines, Interaction* ui = nullptr);
// One line per tag as the result list shows it: name, TAB, the count ("#,###0") right-aligned
// in ten characters, TAB; in the list's sorted order.
QStringList UsedTagListLines(const TTagTable& table);

struct TFindOptions {
    bool matchCase = false;
    bool wholeWord = false;
    bool down = true;
};

// No letter, digit or underscore right before `at` or right after the span: a whole word.
bool IsWholeWordAt(const QString& text, qsizetype at, qsizetype length);

// Down: the first match at or after `selEnd`. Up: the last match that begins before `selStart`.
// -1 when there is none (or nothing to look for).
qsizetype FindInText(const QString& text, const QString& what, qsizetype selStart, qsizetype selEnd,
                     const TFindOptions& options);

struct TFindOutcome {
    qsizetype start = -1; // the match to select, -1 for none
    qsizetype length = 0;
    bool wrapped = false; // searched the whole text again: the caret went to the start
    bool closeDialog = false;
};

// One "find next" of the find dialog: on no match it offers to search the whole text again
// ("더이상 없습니다. 처음부터 다시 찾을까요?") and says "찾는 문자열이 없습니다." when that fails too.
TFindOutcome FindNextInText(const QString& text, const QString& what, qsizetype selStart, qsizetype selEnd,
                            const TFindOptions& options, Interaction& ui);
