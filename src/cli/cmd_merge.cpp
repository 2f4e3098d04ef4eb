// quilo merge FOLDER [--out FILE]: joins the text files of a folder into one UTF-8 file and prints
// its path.

#include "cli/Commands.h"
#include "shell/Interaction.h"
#include "tools/FileMerge.h"

#include <QDir>
#include <QFileInfo>

static int RunMerge(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("out")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo merge FOLDER [--out FILE]"));
    const QString folder = QDir::cleanPath(QFileInfo(p.positional[0]).absoluteFilePath());
    if (!QFileInfo(folder).isDir()) {
        Err(QStringLiteral("폴더가 없습니다: ") + folder);
        return 1;
    }
    QString saveFolder = MergeDefaultSaveFolder(folder);
    QString name = MergeDefaultFileName(folder);
    if (p.has(QStringLiteral("out"))) {
        const QString out = p.value(QStringLiteral("out"));
        if (out.isEmpty() || out.endsWith(u'/'))
            return UsageError(QStringLiteral("--out needs a file name"));
        const QFileInfo fi(out);
        saveFolder = fi.absolutePath();
        name = fi.fileName();
    }
    ConsoleInteraction ui;
    const QStringList files = ListMergeFiles(folder);
    QString outputPath;
    if (!PrepareMerge(folder, files, saveFolder, name, ui, &outputPath))
        return 1;
    const TMergeOutcome outcome = MergeTextFiles(folder, files, outputPath, ui);
    if (outcome.written)
        Out(outputPath); // the result: where the merged file is
    return outcome.written && outcome.skipped == 0 ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("merge"), QStringLiteral("FOLDER [--out FILE]"),
                             QStringLiteral("merge the text files of a folder into one UTF-8 file"),
                             RunMerge});
