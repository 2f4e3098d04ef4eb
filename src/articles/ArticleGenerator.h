#pragma once
// Turns the tagged source text of a tab into article files and the tab's article index.
// Headings "<hN>title</hN>" are checked, numbered by their place in the heading tree, written
// back in the canonical form "<HN id=ID>title</HN>", and each one starts an article that runs
// to the next heading of the same file.

#include "jobs/JobDefine.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class Interaction;

// A source line longer than this cannot be processed; the long line splitter must cut it.
constexpr int MaxSourceLineLength = 3900;

// Progress bars and status labels of the generation window, in this order.
enum ArticleProgressBar { BarList = 0, BarFile = 1, BarIndex = 2 };
enum ArticleStatusSlot { LabelList = 0, LabelLines = 1, LabelIndex = 2 };

// Columns of the tab grid that the generator fills.
enum ArticleGridColumn { ColName = 0, ColSource = 1, ColRun = 2, ColState = 3, ColResult = 4 };

// What the generator asks when a source line is too long. The window shows the notice and the
// splitter; the command line runs the splitter with the split texts it was given.
class LongLineHandler {
public:
    virtual ~LongLineHandler() = default;
    // `lineNumber` counts from 1. True when the file was fixed and the pass must restart;
    // false stops the tab. `noAsk` is the "묻지 않기" flag, kept across calls of one tab.
    virtual bool FixLongLine(const QString& filePath, int lineNumber, const QString& line,
                             bool& noAsk) = 0;
};

// One accepted heading (five lines of the heading list).
struct THeadingEntry {
    QString title;
    int level = 0;
    QString id;
    QString file; // relative to the tab source folder
    int line = 0; // zero-based
};

// The heading list of a tab, kept in a temporary file in the job folder rather than in memory:
// a book of hundreds of thousands of headings would otherwise grow the generator with it.
class THeadingList {
public:
    THeadingList();
    ~THeadingList();
    THeadingList(const THeadingList&) = delete;
    THeadingList& operator=(const THeadingList&) = delete;

    // Empties the list; its file goes into `folder`. False when the file cannot be made.
    bool Reset(const QString& folder);
    void Append(const THeadingEntry& e);
    qint64 Count() const { return m_count; }
    // Where the list stands now, and back to such a place (the entries after it are dropped).
    struct Mark {
        qint64 count = 0;
        qint64 bytes = 0;
    };
    Mark Here();
    void CutBack(const Mark& mark);
    // Reading from the first entry on; Next is false after the last.
    void Rewind();
    bool Next(THeadingEntry& e);
    // Why writing or reading the file failed; empty while it works.
    QString Error() const;

private:
    struct Store;
    std::unique_ptr<Store> m_store;
    qint64 m_count = 0;
};

// Called whenever a cell of the tab grid changes: tab index, column, text.
using TabStateFn = std::function<void(int tab, int column, const QString& text)>;

class TArticleGenerator {
public:
    TArticleGenerator(const TJobDefine& job, Interaction& ui, LongLineHandler* longLines = nullptr);

    // Non-empty remove texts; an empty list switches the remove option off.
    void SetRemoveTexts(const QStringList& texts) { strRemove = texts; }
    void SetTabStateCallback(TabStateFn fn) { onState = std::move(fn); }

    bool MakeTabArticles(int tab);
    bool PrepareWorkFolder(int tab);
    bool WriteArticles(int tab);

    // One heading line `n` of the current file: `p` is where "<h"/"<H" starts, `q` where
    // "</h"/"</H" starts, `d` the level digit. Rewrites SourceLines[n] when it changes.
    bool CheckTree(int n, qsizetype p, qsizetype q, int d);

    // Level fixes of all files of the last tab run.
    int TotalFixed() const { return totalFixed; }

    // State of the file being analysed (exposed for CheckTree callers and tests).
    QStringList SourceLines;
    QString sFileNow;
    int isFixed = 0;
    int iChanged = 0;

    // Resets the heading tree to an empty tab (root only, first level unset).
    void ResetTree();

private:
    struct PathNode {
        int position = 0; // 1-based among its siblings
        int children = 0;
    };

    void Log(const QString& line);
    void SetState(int tab, int column, const QString& text);
    bool AnalyseFile(const QString& srcFolder, const QString& file);
    bool LoadSource(const QString& path, QStringList& lines, QString* error);

    const TJobDefine& job;
    Interaction& ui;
    LongLineHandler* longLines;
    TabStateFn onState;

    QStringList strRemove;
    QStringList TextFileList;
    THeadingList indexInfo;
    // Only the path from the root to the current parent matters for numbering: the
    // sub-headings of earlier siblings can never receive another heading.
    std::vector<PathNode> path;
    int firstLevel = 0;
    int totalFixed = 0;
    bool noAsk = false;
    bool stopped = false; // Esc confirmed, as opposed to an error
};

// The whole run over the selected tabs: confirmation, one tab after the other, the closing
// message. Returns true when every tab succeeded.
bool GenerateArticles(const TJobDefine& job, const QList<int>& tabs, const QStringList& removeTexts,
                      Interaction& ui, LongLineHandler* longLines, TabStateFn onState = {});
// Its two halves, for the window that asks on its own thread and runs on a worker:
// refuses an empty selection and asks the operator to go on ...
bool ConfirmGeneration(const QList<int>& tabs, Interaction& ui);
// ... and runs the tabs and shows the closing message,
bool RunGeneration(const TJobDefine& job, const QList<int>& tabs, const QStringList& removeTexts,
                   Interaction& ui, LongLineHandler* longLines, TabStateFn onState = {});
// which are also there apart, so that the window stops its clock before the message shows.
bool RunGenerationTabs(const TJobDefine& job, const QList<int>& tabs, const QStringList& removeTexts,
                       Interaction& ui, LongLineHandler* longLines, TabStateFn onState = {});
void ShowGenerationOutcome(bool ok, Interaction& ui);

// "경과시간 = " and "12초", "3:07", "1:02:03" or "2일 01:02:03".
QString GenerationElapsedText(qint64 seconds);

// The non-empty texts of the remove edits, as typed (not trimmed).
QStringList CollectRemoveTexts(const QStringList& edits);

// Group folder of an article ID: its first component, at least four digits ("3_2" -> "0003").
QString ArticleGroupFolder(const QString& id);

