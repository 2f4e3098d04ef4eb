#pragma once
// The inserted-image folder of a job ("img" and the folders below it): which folders the
// panel may use, the image files listed, the tag inserted into the article, and the
// file operations of the panel (shrink checks, restore, rename, delete).

#include <QString>
#include <QStringList>

// {job}/img
QString ImageRoot(const QString& jobFolder);

// True for the root itself and any folder below it; a folder beside it whose name merely
// begins with "img" ("img1") is outside. Case-sensitive.
bool IsInsideImageRoot(const QString& root, const QString& folder);
// "이미지 폴더는 다음 폴더를 벗어날 수 없습니다.\r\n\r\n" + root
QString FolderRuleMessage(const QString& root);

// The "*.jpg" files of the folder (no folders), by name.
QStringList ListJpegFiles(const QString& folder);

// "" for the root itself, else the folder's path below the root followed by "/".
QString ImageSubPath(const QString& root, const QString& folder);
// <img src="img/{sub-path}{file}" width="{w}" height="{h}"> and CR LF.
QString InsertedImageTag(const QString& root, const QString& folder, const QString& fileName,
                         const QString& width, const QString& height);

// Why a requested width cannot be used ("" when it can): larger than the image, or below 10.
QString ShrinkWidthProblem(int currentWidth, int requestedWidth);

struct TImageFileResult {
    bool ok = false;
    QString message; // why not, when !ok
};

// The full-size backup takes the image's place; the image stays whole until it is replaced.
TImageFileResult RestoreFullSize(const QString& imagePath);

// Renames {folder}/{oldName} to {folder}/{newName}; a name taken or holding a path delimiter
// is refused, so no image is overwritten or moved away. The full-size backup follows the image.
TImageFileResult RenameImage(const QString& folder, const QString& oldName, const QString& newName);

// Deletes the image; its full-size backup stays on disk.
TImageFileResult DeleteImage(const QString& imagePath);
