#include "tools/UsedTags.h"

#include "articles/ArticleIndex.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>

void ScanTagLine(QStringView line, TTagTable& table)
{
    const qsizetype n = line.size();
    qsizetype from = 0;
    // The first ">" after a "<" stays the first one for every later "<" before it.
    qsizetype gt = -2;
    while (from < n) {
        const qsizetype lt = line.indexOf(u'<', from);
        if (lt < 0)
            return;
        if (lt + 1 < n && line[lt + 1] == u'/')
            return;
        const qsizetype start = lt + 1;
        if (gt != -1 && gt < start)
            gt = line.indexOf(u'>', start);
        QStringView name;
        bool last = false;
        if (gt >= 0) {
            name = line.mid(start, gt - start);
        } else {
            name = line.mid(start);
            last = true;
        }
        const qsizetype space = name.indexOf(u' ');
        if (space >= 0)
            name = name.left(space);
        ++table[name.toString().toUpper()];
        if (last)
            return;
        from = start;
    }
}

QStringList CollectTagFiles(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive))
            files << path;
    }
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return files;
}

QString FormatTagCount(qint64 count)
{
    QString digits = QString::number(count < 0 ? -count : count);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return count < 0 ? u'-' + digits : digits;
}

QString ElapsedSecondsText(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const qint64 s = seconds % 60, m = (seconds / 60) % 60, h = (seconds / 3600) % 24,
                 d = seconds / 86400;
    auto two = [](qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QChar('0')); };
    if (seconds < 60)
        return QString::number(seconds);
    if (seconds < 3600)
        return QString::number(m) + ':' + two(s);
    if (seconds < 86400)
        return QString::number(h) + ':' + two(m) + ':' + two(s);
    return QString::number(d) + QStringLiteral("일 ") + two(h) + ':' + two(m) + ':' + two(s);
}

QString UsedTagsClipboardText(const QList<TTagResultRow>& rows)
{
    QString text = QStringLiteral("TAG\tcount\n");
    for (const TTagResultRow& r : rows)
        text += r.name + '\t' + r.count + '\n';
    return text;
}

namespace {

enum class TabResult { Finished, Stopped };

// A file with NUL characters is not text (a binary file named ".txt"); counting its bytes
// would only fill the table with garbage.
bool LoadTagFile(const QString& path, QStringList& lines, Interaction& ui)
{
    if (!LoadArticleText(lines, path, ui))
        return false;
    for (const QString& line : lines) {
        if (line.contains(QChar(u'\0'))) {
            lines.clear();
            ui.ShowInfo(path + QStringLiteral(": 지정하신 파일을 열 수 없습니다.\r\n텍스트 파일이 아닙니다."));
            return false;
        }
    }
    return true;
}

QList<TTagResultRow> Section(const QString& tabName, const TTagTable& table)
{
    QList<TTagResultRow> rows;
    rows.reserve(qsizetype(table.size()) + 1);
    rows << TTagResultRow{tabName, QString()};
    for (const auto& [tag, count] : table)
        rows << TTagResultRow{tag, FormatTagCount(count)};
    return rows;
}

TabResult CountTab(const TJobDefine& job, int tab, TTagTable& table, Interaction& ui,
                   UsedTagsObserver* observer, int& unreadable)
{
    const QString folder = ArticleFolderName(job, tab);
    if (folder.isEmpty()) {
        // A tab name that cannot be part of a file name has no article folder.
        ui.Report(TabNameProblem(job.TabsName[tab]).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
        return TabResult::Finished;
    }
    if (!QFileInfo(folder).isDir())
        ui.Report(QStringLiteral("기사 폴더(") + folder
                  + QStringLiteral(")가 없습니다. 기본작업 -> \"기사 생성\"을 실행하십시오."));
    const QStringList files = CollectTagFiles(folder);
    if (observer)
        observer->CountingTab(true);
    const qint64 fileCount = files.size();
    ui.Progress(0, 0, fileCount);
    QStringList lines;
    for (qint64 f = 0; f < fileCount; ++f) {
        const QString& path = files[f];
        ui.Progress(0, f + 1, fileCount);
        ui.Status(0, QString::number(f + 1) + QStringLiteral(" / ") + QString::number(fileCount));
        const QString shown = path.mid(folder.size() + 1);
        if (!LoadTagFile(path, lines, ui)) {
            // One unreadable file leaves the others of the tab to be counted.
            ++unreadable;
            ui.Report(QStringLiteral(" * Error * 파일을 열 수 없음: ") + shown);
            continue;
        }
        ui.Report(shown);
        const qint64 lineCount = lines.size();
        ui.Progress(1, 0, lineCount);
        for (qint64 i = 0; i < lineCount; ++i) {
            // Queued bar updates for every line would flood the window; a step of 256 is smooth.
            if ((i & 255) == 0)
                ui.Progress(1, i, lineCount);
            if (ConfirmStop(ui)) {
                ui.ClearStop();
                return TabResult::Stopped;
            }
            ScanTagLine(lines[i], table);
        }
        ui.Progress(1, lineCount, lineCount);
    }
    return TabResult::Finished;
}

} // namespace

TUsedTagsOutcome CountUsedTags(const TJobDefine& job, const QList<bool>& ticked, Interaction& ui,
                               UsedTagsObserver* observer)
{
    const TUsedTagsOutcome out = CountUsedTagsTabs(job, ticked, ui, observer);
    ShowUsedTagsOutcome(out, ui);
    return out;
}

TUsedTagsOutcome CountUsedTagsTabs(const TJobDefine& job, const QList<bool>& ticked, Interaction& ui,
                                   UsedTagsObserver* observer)
{
    TUsedTagsOutcome out;
    const int tabs = std::clamp(job.TabsCount, 0, MaxTabs);
    auto isTicked = [&](int t) { return t < ticked.size() && ticked[t]; };
    bool any = false;
    for (int t = 0; t < tabs; ++t) {
        if (observer)
            observer->TabState(t, isTicked(t) ? TagStateWaiting : TagStateNotRun);
        any = any || isTicked(t);
    }
    if (!any) {
        ui.ShowInfo(QStringLiteral("통계 추출 탭이 하나도 선택되지 않았습니다."));
        return out;
    }
    out.started = true;
    ui.Report(QStringLiteral("작업을 중단하려면 ESC를 누르세요."));
    ui.ClearStop();

    TTagTable table;
    bool stopped = false;
    for (int t = 0; t < tabs && !stopped; ++t) {
        if (!isTicked(t))
            continue;
        if (observer)
            observer->TabState(t, TagStateRunning);
        if (CountTab(job, t, table, ui, observer, out.unreadable) == TabResult::Stopped) {
            if (observer)
                observer->TabState(t, TagStateStopped);
            stopped = true;
            break;
        }
        if (observer)
            observer->TabState(t, TagStateDone);
        const QList<TTagResultRow> section = Section(job.TabsName[t], table);
        out.rows += section;
        if (observer)
            observer->SectionAdded(section);
    }
    if (observer)
        observer->CountingTab(false);

    out.completed = !stopped;
    return out;
}

void ShowUsedTagsOutcome(const TUsedTagsOutcome& outcome, Interaction& ui)
{
    if (!outcome.started)
        return;
    if (outcome.completed) {
        ui.ShowInfo(QStringLiteral("작업을 완료했습니다."));
    } else {
        ui.Report(QStringLiteral("작업을 중단했습니다."));
        ui.ShowInfo(QStringLiteral("작업을 중단했습니다."));
    }
}
