#pragma once
// Breaks over-long lines of a source text file at operator-chosen split texts, so that the
// article generator can read the file. The previous content is kept as file.NNN.org.

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class Interaction;

constexpr int SplitTextCount = 5;
// A line of this many characters or more is split.
constexpr int SplitLineLimit = 3850;
// A split text is used only when it starts at this 1-based character position or earlier.
constexpr int SplitSearchLimit = 3800;

struct SplitText {
    QString text;
    bool before = false; // "앞": the split text starts the new line; "뒤": it ends the old one
};

struct LineSplitOptions {
    std::array<SplitText, SplitTextCount> seps;
    bool noAsk = false; // "묻지 않기": run at once, report only what needs the operator
    // Called once when a big file is loaded while the splitter runs unseen (the window shows
    // itself then, so that a long run is not invisible).
    std::function<void()> onBigFile;
};

enum class SplitOutcome {
    Done,        // every long line is now shorter than the limit
    Unsplit,     // lines remain that no split text could split
    NoSplitText, // "줄 분리 구분자를 입력하세요."
    Declined,    // the operator did not confirm the start
    Stopped,     // Esc, confirmed
    Failed       // the file could not be read or written
};

struct LineSplitResult {
    SplitOutcome outcome = SplitOutcome::Failed;
    int splitLines = 0;   // of the last pass that ran
    int addedLines = 0;   // of the last pass that ran
    int unsplitLines = 0; // of the last pass that ran
    QStringList backups;  // backup files written, in order
};

// The whole run: the file must exist, then ConfirmSplitStart and RunLineSplit.
LineSplitResult SplitLongLines(const QString& path, const LineSplitOptions& options,
                               Interaction& ui);
// Refuses a run without split texts, shows the options and (unless do-not-ask) asks to start.
// Done means: go on.
SplitOutcome ConfirmSplitStart(const LineSplitOptions& options, Interaction& ui);
// The passes over the file, one per non-empty split text, until no unsplit line remains.
// Progress bar 0 and status slot 0 carry "line/count".
LineSplitResult RunLineSplit(const QString& path, const LineSplitOptions& options, Interaction& ui);

// The message-pane form of a line: a leading "-" becomes a ruler of 40 "-".
QString SplitterLogLine(const QString& line);
// "-" followed by one "[text] 기준으로 앞|뒤에서 나눔." line per non-empty split text.
void ShowSplitOptions(const LineSplitOptions& options, Interaction& ui);

// The splitter's remembered split texts (window settings of "frmFixTextColumn").
LineSplitOptions LoadSplitterSettings();
void SaveSplitterSettings(const LineSplitOptions& options);

// Appends `line` to `out`, cut at `sep` until the last piece is under the limit or cannot be
// cut; returns the number of lines added. `notFound`: the split text is not in the piece that
// still had to be cut; `unsplit`: a piece of the limit's length or more remains.
int SplitOneLine(const QString& line, const SplitText& sep, QStringList& out, bool* notFound,
                 bool* unsplit);
