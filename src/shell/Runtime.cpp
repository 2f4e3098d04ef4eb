#include "shell/Runtime.h"

#include "shell/Interaction.h"
#include "shell/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

QString TrimBlanks(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 0x20)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 0x20)
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

bool IsDigit(const QString& s)
{
    return !s.isEmpty() && QStringLiteral("0123456789").contains(s);
}

bool IsIdChar(const QString& s)
{
    return !s.isEmpty()
        && QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_").contains(s);
}

void SplitByChar(const QString& text, QStringList& list, QChar delimiter)
{
    list = text.split(delimiter, Qt::KeepEmptyParts);
}

QStringList SplitFields(const QString& text, const QString& separators)
{
    QStringList fields;
    QString current;
    QChar quote;
    for (QChar c : text) {
        if (!quote.isNull()) {
            current += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            current += c;
        } else if (separators.contains(c) || c == '\r' || c == '\n') {
            if (!current.isEmpty())
                fields << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        fields << current;
    return fields;
}

QString ProgramVersion()
{
    static const QString version = QStringLiteral(QUILO_VERSION);
    return version;
}

QString ComputerName() { return QSysInfo::machineHostName().left(256); }

QString ElapsedText(const QDateTime& start, const QDateTime& now)
{
    qint64 ms = start.msecsTo(now);
    if (ms < 0)
        ms = 0;
    const qint64 secs = ms / 1000;
    return QStringLiteral("경과시간 %1:%2:%3")
        .arg(secs / 3600, 2, 10, QChar('0'))
        .arg((secs / 60) % 60, 2, 10, QChar('0'))
        .arg(secs % 60, 2, 10, QChar('0'));
}

QString BackupByLink(const QString& file, const QString& suffix)
{
    if (!QFileInfo(file).isFile())
        return {};
    // At least three digits: after 999 the numbers simply go on with 1000.
    for (int n = 1; n > 0; ++n) {
        const QString name = file + '.' + QStringLiteral("%1").arg(n, 3, 10, QChar('0')) + suffix;
        if (QFileInfo::exists(name))
            continue;
        if (::link(QFile::encodeName(file).constData(), QFile::encodeName(name).constData()) == 0)
            return name;
        // A copy goes under a temporary name first: a half copy must not pass for the backup.
        const QString part = name + QStringLiteral(".part");
        QFile::remove(part);
        if (QFile::copy(file, part) && QFile::rename(part, name))
            return name;
        QFile::remove(part);
        return {};
    }
    return {};
}

namespace {

// The desktop's trash of this user: $XDG_DATA_HOME/Trash, else ~/.local/share/Trash.
QString DesktopTrashFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(base)) {
        const QString home = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(home))
            return {};
        base = home + "/.local/share";
    }
    return QFileInfo(base).isDir() ? base + "/Trash" : QString();
}

// Moves `path` into `trash`/files under a free name and records where it came from in
// `trash`/info, the layout desktops read. False when that trash cannot take it (no rights,
// another file system); then nothing is left behind.
bool MoveIntoTrash(const QString& path, const QString& trash)
{
    if (trash.isEmpty() || !QDir().mkpath(trash + "/files") || !QDir().mkpath(trash + "/info"))
        return false;
    const QString base = QFileInfo(path).fileName();
    for (int n = 1; n < 10000; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1.%2").arg(base).arg(n);
        // Creating the info file first and exclusively reserves the name.
        QFile info(trash + "/info/" + name + ".trashinfo");
        if (!info.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            continue;
        const QByteArray text = "[Trash Info]\nPath=" + QUrl::toPercentEncoding(path, "/")
            + "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n";
        const bool written = info.write(text) == text.size();
        info.close();
        const QString target = trash + "/files/" + name;
        if (written && !QFileInfo::exists(target)
            && std::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) == 0)
            return true;
        info.remove();
        return false;
    }
    return false;
}

} // namespace

bool DeleteDirectory(const QString& dirPath)
{
    QString path = dirPath;
    while (path.size() > 1 && (path.endsWith('/') || path.endsWith('\\')))
        path.chop(1);
    if (!QFileInfo::exists(path))
        return true;
    path = QFileInfo(path).absoluteFilePath();
    // The desktop's trash when it can take the folder, else the program's own beside its
    // settings; removed for good only when neither can.
    if (!MoveIntoTrash(path, DesktopTrashFolder()) && !MoveIntoTrash(path, DataFolder() + "/trash"))
        QDir(path).removeRecursively();
    return !QFileInfo::exists(path);
}

bool RenameDirectory(const QString& dirFrom, const QString& dirTo)
{
    return QDir().rename(dirFrom, dirTo);
}

bool RequireInputText(QString& text, const QString& label, Interaction& ui)
{
    text = TrimBlanks(text);
    if (!text.isEmpty())
        return false;
    if (!label.isEmpty())
        ui.ShowInfo(label + QStringLiteral(" : 반드시 입력해야합니다."));
    return true;
}

bool ConfirmRollback(Interaction& ui)
{
    return ui.AskYesNo(QStringLiteral("작업 내용을 취소하고 최종 저장 상태로 되돌립니다. 맞습니까?"));
}
