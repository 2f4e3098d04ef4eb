#include "tools/LineSplitter.h"

#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/Settings.h"
#include "shell/TextFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString FormName = QStringLiteral("frmFixTextColumn");

QString PositionWord(bool before) { return before ? QStringLiteral("앞") : QStringLiteral("뒤"); }

void Log(Interaction& ui, const QString& line) { ui.Report(SplitterLogLine(line)); }

// Text files never hold NUL; a file that does is binary whatever its name says.
bool LooksBinary(const QString& text) { return text.contains(QChar(0)); }

} // namespace

QString SplitterLogLine(const QString& line)
{
    if (line.startsWith('-'))
        return QString(40, '-') + line.mid(1);
    return line;
}

void ShowSplitOptions(const LineSplitOptions& options, Interaction& ui)
{
    Log(ui, QStringLiteral("-"));
    for (const SplitText& s : options.seps) {
        if (s.text.isEmpty())
            continue;
        Log(ui, '[' + s.text + QStringLiteral("] 기준으로 ") + PositionWord(s.before)
                + QStringLiteral("에서 나눔."));
    }
}

LineSplitOptions LoadSplitterSettings()
{
    LineSplitOptions o;
    for (int i = 0; i < SplitTextCount; ++i) {
        const QString n = QString::number(i + 1);
        const QString v = ReadFormSetting(FormName, "strSep" + n, QStringLiteral("{}"));
        // The braces keep leading and trailing blanks that the settings file would trim.
        if (v.size() >= 2 && v != QStringLiteral("{}"))
            o.seps[i].text = v.mid(1, v.size() - 2);
        o.seps[i].before = ReadFormSetting(FormName, "chkSep" + n, QStringLiteral("뒤"))
            == QStringLiteral("앞");
    }
    return o;
}

void SaveSplitterSettings(const LineSplitOptions& options)
{
    for (int i = 0; i < SplitTextCount; ++i) {
        const QString n = QString::number(i + 1);
        WriteFormSetting(FormName, "strSep" + n, '{' + options.seps[i].text + '}');
        WriteFormSetting(FormName, "chkSep" + n, PositionWord(options.seps[i].before));
    }
}

int SplitOneLine(const QString& line, const SplitText& sep, QStringList& out, bool* notFound,
                 bool* unsplit)
{
    if (notFound)
        *notFound = false;
    if (unsplit)
        *unsplit = false;
    const qsizetype L = sep.text.size();
    int added = 0;
    qsizetype start = 0; // the last output line is line[start..]
    while (line.size() - start >= SplitLineLimit && L > 0) {
        const QStringView cur = QStringView(line).mid(start);
        if (cur.indexOf(sep.text) < 0) {
            if (notFound)
                *notFound = true;
            if (unsplit)
                *unsplit = true;
            break;
        }
        // The last occurrence starting at position 3800 or earlier whose split leaves a
        // non-empty new line and a kept part under the limit; anything else would split
        // the same line again and again.
        qsizetype p = cur.lastIndexOf(sep.text, SplitSearchLimit - 1);
        while (p >= 0) {
            const bool usable = sep.before ? p > 0 : p + L < SplitLineLimit;
            if (usable)
                break;
            p = p > 0 ? cur.lastIndexOf(sep.text, p - 1) : -1;
        }
        if (p < 0) {
            if (unsplit)
                *unsplit = true;
            break;
        }
        const qsizetype cut = sep.before ? p : p + L;
        out << cur.left(cut).toString();
        start += cut;
        ++added;
    }
    out << (start == 0 ? line : line.mid(start));
    return added;
}

SplitOutcome ConfirmSplitStart(const LineSplitOptions& options, Interaction& ui)
{
    bool any = false;
    for (const SplitText& s : options.seps)
        any = any || !s.text.isEmpty();
    if (!any) {
        ui.ShowInfo(QStringLiteral("줄 분리 구분자를 입력하세요."));
        return SplitOutcome::NoSplitText;
    }
    ShowSplitOptions(options, ui);
    if (!options.noAsk && !ui.AskYesNo(QStringLiteral("줄 분리를 시작합니까?")))
        return SplitOutcome::Declined;
    return SplitOutcome::Done;
}

LineSplitResult SplitLongLines(const QString& path, const LineSplitOptions& options,
                               Interaction& ui)
{
    LineSplitResult result;
    if (!QFileInfo(path).isFile()) {
        Log(ui, QStringLiteral("파일을 열 수 없습니다."));
        Log(ui, path);
        return result;
    }
    const SplitOutcome start = ConfirmSplitStart(options, ui);
    if (start != SplitOutcome::Done) {
        result.outcome = start;
        return result;
    }
    return RunLineSplit(path, options, ui);
}

LineSplitResult RunLineSplit(const QString& path, const LineSplitOptions& options, Interaction& ui)
{
    LineSplitResult result;
    if (!options.noAsk)
        Log(ui, QStringLiteral("한 번에 줄 나눔이 처리되지 않으면, 구분자를 바꿔가면서 여러 번 실행하십시오."));
    ui.ClearStop();

    bool ranPass = false;
    bool bigNoticed = false;
    for (const SplitText& sep : options.seps) {
        Log(ui, "-[" + sep.text + ']');
        if (sep.text.isEmpty())
            continue;
        // Counters of this pass; the outcome follows the last pass that really ran.
        int splitLines = 0, addedLines = 0, unsplitLines = 0;

        QString text, error;
        bool valid = true;
        if (!ReadTextFile(path, text, &error, &valid)) {
            ui.ShowInfo(QStringLiteral("파일을 열 수 없습니다.\r\n[") + path + "]\r\n" + error);
            result.outcome = SplitOutcome::Failed;
            return result;
        }
        if (!valid || LooksBinary(text)) {
            // Writing back a file that did not decode cleanly would replace its bad bytes.
            ui.ShowInfo(QStringLiteral("파일 : ") + path
                        + QStringLiteral("\r\n문자 코드가 올바르지 않은 텍스트 파일입니다. 파일을 확인하십시오."));
            result.outcome = SplitOutcome::Failed;
            return result;
        }
        QStringList lines = SplitLines(text);
        text.clear();
        const qsizetype count = lines.size();
        if (count > 10000 && !bigNoticed && options.onBigFile) {
            bigNoticed = true;
            options.onBigFile();
        }

        QStringList output;
        output.reserve(count + 16);
        for (qsizetype k = 0; k < count; ++k) {
            if (!options.noAsk && (k % 256 == 0 || k + 1 == count)) {
                ui.Progress(0, k + 1, count);
                ui.Status(0, QStringLiteral("%1/%2").arg(k + 1).arg(count));
            }
            if (ConfirmStop(ui)) {
                result.outcome = SplitOutcome::Stopped;
                return result;
            }
            const QString& line = lines[k];
            if (line.size() < SplitLineLimit) {
                output << line;
                continue;
            }
            const qsizetype startLine = output.size() + 1;
            bool notFound = false, unsplit = false;
            const int added = SplitOneLine(line, sep, output, &notFound, &unsplit);
            if (notFound)
                Log(ui, QStringLiteral("줄 %1: 구분자를 찾을 수 없습니다.").arg(k + 1));
            if (unsplit)
                ++unsplitLines;
            addedLines += added;
            if (added > 0) {
                ++splitLines;
                Log(ui, QStringLiteral("#%1 -> %2").arg(k + 1).arg(startLine));
            }
        }
        lines.clear();

        if (addedLines > 0) {
            const QString backup = BackupByLink(path, QStringLiteral(".org"));
            if (backup.isEmpty()) {
                ui.ShowInfo(QStringLiteral("원본 파일을 보관할 수 없습니다.\r\n[") + path + ']');
                result.outcome = SplitOutcome::Failed;
                return result;
            }
            QString why;
            if (!WriteTextLines(path, output, TextEncoding::Utf16LE, &why)) {
                // The atomic write left the original in place; its backup is not needed.
                QFile::remove(backup);
                ui.ShowInfo(QStringLiteral("파일을 저장할 수 없습니다.\r\n[") + path + "]\r\n" + why);
                result.outcome = SplitOutcome::Failed;
                return result;
            }
            result.backups << backup;
            if (!options.noAsk) {
                Log(ui, QStringLiteral("-원본을 다른 이름으로 저장합니다."));
                Log(ui, backup);
            }
            if (!options.noAsk || unsplitLines > 0) {
                Log(ui, QStringLiteral("-변환이 완료되었습니다."));
                Log(ui, QStringLiteral("-변경된 줄 수 : %1").arg(splitLines));
                Log(ui, QStringLiteral("늘어난 줄 수 : %1").arg(addedLines));
                Log(ui, QStringLiteral("바꾸지 못한 줄 수 : %1").arg(unsplitLines));
                if (unsplitLines > 0)
                    Log(ui, QStringLiteral("분리 조건을 변경하고 다시 실행하거나 다른 편집기에서 수작업으로 분리해 주십시오."));
            }
        }
        ranPass = true;
        result.splitLines = splitLines;
        result.addedLines = addedLines;
        result.unsplitLines = unsplitLines;
        if (unsplitLines == 0)
            break;
    }
    result.outcome = ranPass && result.unsplitLines == 0 ? SplitOutcome::Done : SplitOutcome::Unsplit;
    return result;
}
