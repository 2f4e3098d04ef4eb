#pragma once
// A tab's article index read back into an article tree, and the loaders of article files.
// Node N of the tree (root 0, then document order) is article N of the tab: preview links
// address articles by that number.

#include "jobs/JobDefine.h"

#include <QString>
#include <QStringList>
#include <vector>

class Interaction;

struct THeaderInfo {
    QString id;      // article ID; empty for the root
    int htagNum = 0; // heading level number from the index; 0 for the root
};

struct TArticleNode {
    QString title;    // the root carries the tab name
    THeaderInfo info;
    int parent = -1;  // absolute index of the parent; -1 for the root
    int depth = 0;    // root 0, top-level articles 1
    std::vector<int> children;
};

// Nodes in absolute order; nodes are only ever appended below the last node or one of its
// ancestors, so the vector order is the document order.
class TArticleTree {
public:
    void clear() { m_nodes.clear(); }
    bool empty() const { return m_nodes.empty(); }
    int count() const { return int(m_nodes.size()); }
    const TArticleNode& node(int index) const { return m_nodes[size_t(index)]; }
    bool valid(int index) const { return index >= 0 && index < count(); }
    const std::vector<TArticleNode>& nodes() const { return m_nodes; }

    int addRoot(const QString& tabName);
    int addChild(int parent, const QString& title, const THeaderInfo& info);
    void reserve(int n) { m_nodes.reserve(size_t(n)); }

private:
    std::vector<TArticleNode> m_nodes;
};

// Attaches the entry whose ID line is `position` below the nearest preceding node with a smaller
// level number. Returns the new node, or -1 (after the message) when the level is no number or
// there is no current node.
int AddIndexEntry(TArticleTree& tree, int node, const QStringList& lines, int position, Interaction& ui);

// Reads {job}/{tab}.idx into `tree`. Progress on bar 0, the counter on label 0 and the
// progress text on label 1. A faulty index leaves the entries read so far.
bool LoadArticleTree(const TJobDefine& job, int tab, TArticleTree& tree, Interaction& ui);

// {job}/work_{tab}/{id}.txt (the flat form), "noname.txt" without a node, empty for a tab name
// or an ID that would leave the job folder.
QString ArticleFileName(const TJobDefine& job, int tab, const TArticleNode* node);

// {dir}/{name} -> {dir}/NNNN/{name}; empty (after "…: 파일 형식이 다릅니다.") when {name} carries
// no article number.
QString ArticleStoragePath(const QString& path, Interaction& ui);

// The article at its group folder, else in the flat layout. False after a message.
bool LoadArticleText(QStringList& lines, const QString& path, Interaction& ui);
// The same article as one text, for a caller that looks at lines only where it found something.
bool LoadArticleContent(QString& text, const QString& path, Interaction& ui);

// Index of the first tab whose tab ID is exactly `tabId`, or -1.
int TabIndexById(const TJobDefine& job, const QString& tabId);

// Longest line a text pane accepts.
constexpr int MaxSourceLineLength = 3900;
// Files above this many lines get progress and Esc.
constexpr int LargeTextLines = 10000;

// Index of the first line longer than MaxSourceLineLength, or -1; with more than
// LargeTextLines lines it reports progress every 100 lines and honours Esc (-2 = stopped).
int CheckSourceLines(const QStringList& lines, const QString& path, Interaction& ui);
QString LongSourceLineMessage(const QString& path, int lineIndex);

// Loads an article or text file for a text pane and checks its line lengths; false after the
// message when the file cannot be read, a line is too long or the operator stopped.
bool LoadSourceText(const QString& path, QStringList& lines, Interaction& ui, bool* stopped = nullptr);

// A heading line of a text pane: characters from `start` (the "<h" + digit) to the end of its line.
struct HeadingSpan {
    int start = 0;
    int length = 0;
    int line = 0;
};
QList<HeadingSpan> FindHeadingSpans(const QString& text);
