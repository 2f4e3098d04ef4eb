// quilo restore-image IMAGE: puts the full-size file IMAGE.원본 back in the image's place, as
// the image panel's "복원" does. Prints the restored image's size.

#include "cli/Commands.h"
#include "tagging/ImageFolder.h"
#include "tagging/JpegImage.h"

#include <QFileInfo>

static int RunRestoreImage(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo restore-image IMAGE"));
    const QString path = QFileInfo(p.positional[0]).absoluteFilePath();
    const TImageFileResult r = RestoreFullSize(path);
    if (!r.ok) {
        Err(r.message);
        return 1;
    }
    Err(QStringLiteral("원본으로 되돌렸습니다: %1").arg(path));
    int width = 0, height = 0;
    QString why;
    if (!ReadJpegSize(path, width, height, &why)) {
        Err(why);
        return 1;
    }
    Out(QStringLiteral("%1x%2").arg(width).arg(height));
    return 0;
}

static CommandRegistrar reg({QStringLiteral("restore-image"), QStringLiteral("IMAGE"),
                             QStringLiteral("put the full-size IMAGE.원본 back in place of a shrunk image"),
                             RunRestoreImage});
