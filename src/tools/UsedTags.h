#pragma once
// Counting the markup tags used in the article files of a job's tabs.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <map>

class Interaction;
struct TJobDefine;

// Upper-case tag name -> count; the map keeps the names in ascending order.
using TTagTable = std::map<QString, qint64>;

// Adds the opening tags of one line to the table. The scan of a line ends at its first closing
// tag, and at a "<" that has no ">" after it.
void ScanTagLine(QStringView line, TTagTable& table);

// Every ".txt" file (any case) below `folder`, sorted by path without regard to case.
QStringList CollectTagFiles(const QString& folder);

// "#,###0": 1234567 -> "1,234,567".
QString FormatTagCount(qint64 count);

// "59", "1:05", "2:03:04", "3일 04:05:06".
QString ElapsedSecondsText(qint64 seconds);

// One row of the result grid: a tab name with an empty count, or a tag with its count.
struct TTagResultRow {
    QString name;
    QString count;
};

// The result grid as the copy button hands it to other programs: the header "TAG", TAB,
// "count", then every row; columns separated by TAB, each line ended by LF.
QString UsedTagsClipboardText(const QList<TTagResultRow>& rows);

// Tab states shown in the tab grid during a run.
inline const QString TagStateWaiting = QStringLiteral("대기");
inline const QString TagStateNotRun = QStringLiteral("미실행");
inline const QString TagStateRunning = QStringLiteral("진행중");
inline const QString TagStateDone = QStringLiteral("완료");
inline const QString TagStateStopped = QStringLiteral("중단");

// What a window follows besides the message pane and the progress bars.
class UsedTagsObserver {
public:
    virtual ~UsedTagsObserver() = default;
    virtual void TabState(int tab, const QString& state) = 0;
    // A tab finished: its section of the result grid (tab name row, then the totals so far).
    virtual void SectionAdded(const QList<TTagResultRow>& rows) = 0;
    // The progress panel is shown while a tab is counted.
    virtual void CountingTab(bool counting) = 0;
};

struct TUsedTagsOutcome {
    bool started = false;   // at least one tab was ticked
    bool completed = false; // every ticked tab was counted to its end
    int unreadable = 0;     // files that could not be read and were left out
    QList<TTagResultRow> rows;
};

// Counts the tabs whose entry in `ticked` is true (missing entries count as not ticked).
// Progress: bar 0 = files of the tab, bar 1 = lines of the file; status slot 0 = "n / N".
// Esc is polled before every line and confirmed with "취소합니까?".
TUsedTagsOutcome CountUsedTags(const TJobDefine& job, const QList<bool>& ticked, Interaction& ui,
                               UsedTagsObserver* observer = nullptr);
// Its two parts, for the window that stops its clock before the closing message: the counting ...
TUsedTagsOutcome CountUsedTagsTabs(const TJobDefine& job, const QList<bool>& ticked, Interaction& ui,
                                   UsedTagsObserver* observer = nullptr);
// ... and the closing message of a run that started.
void ShowUsedTagsOutcome(const TUsedTagsOutcome& outcome, Interaction& ui);
