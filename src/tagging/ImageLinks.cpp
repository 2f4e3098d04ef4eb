#include "tagging/ImageLinks.h"

#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QStringList ListSourceImages(const QString& jobFolder)
{
    const QString folder = SourceImageFolder(jobFolder);
    if (folder.isEmpty())
        return {};
    return QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files | QDir::Hidden,
                                  QDir::Name | QDir::IgnoreCase);
}

TLinkFileRead ReadImageLinks(const QString& path, int nodeCount, TImageLinks& rows)
{
    TLinkFileRead read;
    rows.assign(size_t(qMax(0, nodeCount)), TImageLink{NoImage, NoImage});
    if (path.isEmpty() || !QFileInfo::exists(path))
        return read;
    read.exists = true;
    QStringList lines;
    if (!ReadTextLines(path, lines, &read.error, &read.valid)) {
        read.ok = false;
        return read;
    }
    read.lineCount = int(lines.size());
    for (int i = 0; i < nodeCount; ++i) {
        if (2 * i < lines.size())
            rows[size_t(i)].start = lines[2 * i];
        if (2 * i + 1 < lines.size())
            rows[size_t(i)].end = lines[2 * i + 1];
    }
    return read;
}

QStringList ImageLinkLines(const TImageLinks& rows)
{
    QStringList lines;
    lines.reserve(qsizetype(rows.size()) * 2);
    for (const TImageLink& r : rows) {
        lines << (r.start.isEmpty() ? NoImage : r.start);
        lines << (r.end.isEmpty() ? NoImage : r.end);
    }
    return lines;
}

bool WriteLinkFile(const QString& path, const QStringList& lines, QString* error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("파일 이름을 만들 수 없습니다.");
        return false;
    }
    QString backup;
    if (QFileInfo::exists(path)) {
        QStringList old;
        bool valid = true;
        const bool read = ReadTextLines(path, old, nullptr, &valid);
        if (!read || !valid || old.size() > lines.size()) {
            // Linked, not moved: the file's name keeps a whole version until the new one is in.
            backup = BackupByLink(path, QStringLiteral(".bak"));
            if (backup.isEmpty()) {
                if (error)
                    *error = path + QStringLiteral(": 이전 파일을 보관할 수 없습니다.");
                return false;
            }
        }
    }
    if (WriteTextLines(path, lines, TextEncoding::Utf16LE, error))
        return true;
    if (!backup.isEmpty() && QFileInfo::exists(path))
        QFile::remove(backup);
    return false;
}

namespace {

bool IsSet(const QString& cell)
{
    return !cell.isEmpty() && cell != NoImage;
}

} // namespace

int CheckImageLinks(const TImageLinks& rows)
{
    const QString* previousEnd = nullptr;
    for (size_t i = 0; i < rows.size(); ++i) {
        const TImageLink& r = rows[i];
        if (!IsSet(r.start) || !IsSet(r.end))
            continue;
        if (QString::compare(r.start, r.end, Qt::CaseSensitive) > 0)
            return int(i);
        // The root's range, when someone set one, spans the book and says nothing about order.
        if (i == 0)
            continue;
        if (previousEnd && QString::compare(r.start, *previousEnd, Qt::CaseSensitive) < 0)
            return int(i);
        previousEnd = &r.end;
    }
    return -1;
}

bool IsImageUsed(const QString& name, const TImageLinks& rows)
{
    for (const TImageLink& r : rows) {
        // "-" is a value here like any name; only an emptied cell is empty.
        if (!r.start.isEmpty() && !r.end.isEmpty()) {
            if (QString::compare(r.start, name, Qt::CaseSensitive) <= 0
                && QString::compare(name, r.end, Qt::CaseSensitive) <= 0)
                return true;
        } else if (r.start == name || r.end == name) {
            return true;
        }
    }
    return false;
}

QStringList UnusedImages(const QStringList& images, const TImageLinks& rows)
{
    QStringList unused;
    for (const QString& name : images)
        if (!IsImageUsed(name, rows))
            unused << name;
    return unused;
}

TLinkStep PutImage(TImageLinks& rows, const QStringList& images, int image, int row, int column)
{
    TLinkStep step{false, image, row, column};
    if (image < 0 || image >= images.size())
        return step;
    const bool haveCell = row >= 0 && row < int(rows.size()) && (column == 0 || column == 1);
    if (haveCell) {
        QString& cell = column == 0 ? rows[size_t(row)].start : rows[size_t(row)].end;
        if (cell != images[image]) {
            cell = images[image];
            step.changed = true;
        }
    }
    if (image == images.size() - 1)
        return step;
    step.image = image + 1;
    if (haveCell) {
        if (column == 0) {
            step.column = 1;
        } else if (row < int(rows.size()) - 1) {
            step.row = row + 1;
            step.column = 0;
        }
    }
    return step;
}
