// Runs one save of the program's own code for the fault scripts, so that they can kill it or
// starve it of disk space in the middle: `fault_driver save-article ARTICLE NEWTEXT` saves the
// lines of NEWTEXT over ARTICLE the way the tag editor saves (numbered .bak backup first).
// Exit 0 when the save worked, 1 with the reason on stderr when it did not, 2 on wrong usage.
#include "shell/TextFile.h"
#include "tagging/TagEditor.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 3 || args[0] != QStringLiteral("save-article")) {
        std::fprintf(stderr, "usage: fault_driver save-article ARTICLE NEWTEXT\n");
        return 2;
    }
    QStringList lines;
    QString error;
    if (!ReadTextLines(args[2], lines, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const TArticleSave saved = SaveArticleWithBackup(args[1], lines);
    if (!saved.written) {
        std::fprintf(stderr, "%s\n", qPrintable(saved.error));
        return 1;
    }
    return 0;
}
