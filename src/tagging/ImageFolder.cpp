#include "tagging/ImageFolder.h"

#include "jobs/JobLayout.h"
#include "tagging/JpegImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

QString Clean(const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

// rename(2) replaces the target in one step, unlike QFile::rename, which refuses to.
bool ReplaceFile(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace

QString ImageRoot(const QString& jobFolder)
{
    return Clean(InsertedImageFolder(jobFolder));
}

bool IsInsideImageRoot(const QString& root, const QString& folder)
{
    // Cleaned first, so "img/../img1" cannot pass as a folder below the root.
    const QString r = Clean(root);
    const QString f = Clean(folder);
    return f == r || f.startsWith(r + QLatin1Char('/'));
}

QString FolderRuleMessage(const QString& root)
{
    return QStringLiteral("이미지 폴더는 다음 폴더를 벗어날 수 없습니다.\r\n\r\n") + root;
}

QStringList ListJpegFiles(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    QDir dir(folder);
    return dir.entryList({QStringLiteral("*.jpg")}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
}

QString ImageSubPath(const QString& root, const QString& folder)
{
    const QString r = Clean(root);
    const QString f = Clean(folder);
    if (f.size() <= r.size())
        return {};
    return f.mid(r.size() + 1) + QLatin1Char('/');
}

QString InsertedImageTag(const QString& root, const QString& folder, const QString& fileName,
                         const QString& width, const QString& height)
{
    return QStringLiteral("<img src=\"img/") + ImageSubPath(root, folder) + fileName + QStringLiteral("\" width=\"") +
           width + QStringLiteral("\" height=\"") + height + QStringLiteral("\">\r\n");
}

QString ShrinkWidthProblem(int currentWidth, int requestedWidth)
{
    if (requestedWidth > currentWidth)
        return QStringLiteral("크기를 늘일 수는 없습니다.");
    if (requestedWidth <= 9)
        return QStringLiteral("지정 크기가 너무 작습니다.");
    return {};
}

TImageFileResult RestoreFullSize(const QString& imagePath)
{
    const QString backup = FullSizeBackupPath(imagePath);
    if (!QFileInfo(backup).isFile())
        return {false, QStringLiteral("원본 파일이 없습니다: %1").arg(QDir::toNativeSeparators(backup))};
    if (!ReplaceFile(backup, imagePath))
        return {false, QStringLiteral("원본 파일로 되돌릴 수 없습니다: %1").arg(QDir::toNativeSeparators(imagePath))};
    return {true, {}};
}

TImageFileResult RenameImage(const QString& folder, const QString& oldName, const QString& newName)
{
    if (newName.contains(QLatin1Char('/')) || newName.contains(QLatin1Char('\\')) || newName == QLatin1String(".") ||
        newName == QLatin1String(".."))
        return {false, QStringLiteral("파일 이름에 쓸 수 없는 문자가 있습니다: %1").arg(newName)};
    if (newName == oldName)
        return {true, {}};
    const QString from = folder + QLatin1Char('/') + oldName;
    const QString to = folder + QLatin1Char('/') + newName;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return {false, QStringLiteral("같은 이름의 파일이 이미 있습니다: %1").arg(newName)};
    // A backup left under the new name would later be restored over an unrelated picture.
    const QString oldBackup = FullSizeBackupPath(from);
    const QString newBackup = FullSizeBackupPath(to);
    const bool hasBackup = QFileInfo::exists(oldBackup);
    if (QFileInfo::exists(newBackup))
        return {false, QStringLiteral("같은 이름의 파일이 이미 있습니다: %1").arg(QFileInfo(newBackup).fileName())};
    if (!QFile::rename(from, to))
        return {false, QStringLiteral("이름을 변경할 수 없습니다: %1").arg(oldName)};
    if (hasBackup && !QFile::rename(oldBackup, newBackup))
        return {true, QStringLiteral("원본 파일의 이름은 바꾸지 못했습니다: %1").arg(QFileInfo(oldBackup).fileName())};
    return {true, {}};
}

TImageFileResult DeleteImage(const QString& imagePath)
{
    if (!QFile::remove(imagePath))
        return {false, QStringLiteral("파일을 삭제할 수 없습니다: %1").arg(QDir::toNativeSeparators(imagePath))};
    return {true, {}};
}
