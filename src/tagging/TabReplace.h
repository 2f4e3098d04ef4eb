#pragma once
// Find and replace over one article or every article of a tab: the matches listed first (article,
// line, the line before and after), then the ones the operator ticked written back the way the
// tag editor saves (numbered .NNN.bak, atomic write, UTF-16LE with byte-order mark).

#include "articles/ArticleIndex.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

class Interaction;

struct TReplaceOptions {
    bool regex = false;     // FIND is a regular expression; \0..\99 in the replacement name its groups
    bool matchCase = false;
    bool wholeWord = false; // as the find dialog: no letter or digit on either side
    bool textOnly = false;  // matches touching a tag (between "<" and ">") are left alone
};

struct TTextMatch {
    qsizetype start = 0;
    qsizetype length = 0;
    QString replacement; // the text that takes its place
};

// The matches of one pattern in a line.
class TTextReplacer {
public:
    TTextReplacer(const QString& find, const QString& replacement, const TReplaceOptions& options);
    bool valid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QList<TTextMatch> Matches(const QString& line) const;
    // The line with the given matches (in order, not overlapping) replaced.
    static QString Apply(const QString& line, const QList<TTextMatch>& matches);

private:
    QString m_find;
    QString m_replacement;
    TReplaceOptions m_options;
    QRegularExpression m_re;
    QString m_error;
};

struct TReplaceMatch {
    int node = 0;      // article node of the tab's tree
    QString articleId;
    QString title;
    int line = 0;      // 0-based line of the article
    TTextMatch match;
    QString before;    // the whole line as it is
    QString after;     // the line with this match alone replaced
};

struct TReplaceScan {
    QList<TReplaceMatch> matches;
    int articles = 0;    // articles read
    int unreadable = 0;  // articles that could not be read (told through the interaction)
    bool stopped = false;
};

// Every match in the tab's articles (`onlyNode` > 0: that article alone). Progress on bar 0,
// Esc honoured between articles.
TReplaceScan FindReplaceMatches(const TJobDefine& job, int tab, const TArticleTree& tree, const TTextReplacer& replacer,
                                Interaction& ui, int onlyNode = 0);

struct TReplaceOutcome {
    int articlesChanged = 0;
    int matchesReplaced = 0;
    QStringList errors;  // one line per article that could not be written or had changed meanwhile
};

// Writes the chosen matches. Each article is read again and changed only where its line still
// reads as listed; each changed article is saved once, behind one numbered backup.
TReplaceOutcome ApplyReplaceMatches(const TJobDefine& job, int tab, const TArticleTree& tree,
                                    const QList<TReplaceMatch>& chosen, Interaction& ui);
