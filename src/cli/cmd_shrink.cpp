// quilo shrink IMAGE WIDTH: shrinks a JPEG in place as the image panel's "변경" does; the
// first shrink keeps the full-size file as IMAGE.원본. Prints the image's size afterwards.

#include "cli/Commands.h"
#include "tagging/ImageFolder.h"
#include "tagging/JpegImage.h"

#include <QFileInfo>

static int RunShrink(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 2)
        return UsageError(QStringLiteral("usage: quilo shrink IMAGE WIDTH"));
    bool isNumber = false;
    const int requested = p.positional[1].trimmed().toInt(&isNumber);
    if (!isNumber)
        return UsageError(QStringLiteral("WIDTH must be a whole number: %1").arg(p.positional[1]));

    const QString path = QFileInfo(p.positional[0]).absoluteFilePath();
    int width = 0, height = 0;
    QString why;
    if (!ReadJpegSize(path, width, height, &why)) {
        Err(why);
        return 1;
    }
    if (const QString problem = ShrinkWidthProblem(width, requested); !problem.isEmpty()) {
        Err(problem);
        return 1;
    }
    const TShrinkResult r = ShrinkJpegFile(path, requested);
    if (r.status == TShrinkStatus::Unreadable || r.status == TShrinkStatus::WriteFailed) {
        Err(r.message);
        return 1;
    }
    if (!ReadJpegSize(path, width, height, &why)) {
        Err(why);
        return 1;
    }
    Out(QStringLiteral("%1x%2").arg(width).arg(height));
    return 0;
}

static CommandRegistrar reg({QStringLiteral("shrink"), QStringLiteral("IMAGE WIDTH"),
                             QStringLiteral("shrink a JPEG image in place to WIDTH pixels, keeping IMAGE.원본"),
                             RunShrink});
