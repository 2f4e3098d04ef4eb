// quilo article-tags FILE: the tag analysis of one article file, as the tag editor lists it.

#include "cli/Commands.h"
#include "shell/TextFile.h"
#include "tagging/TagEditor.h"

static int RunArticleTags(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo article-tags FILE"));
    const QString path = p.positional[0];
    QStringList lines;
    if (!ReadTextLines(path, lines)) {
        Err(path + QStringLiteral(": 지정하신 파일을 열 수 없습니다."));
        return 1;
    }
    for (const QString& line : UsedTagListLines(CountArticleTags(lines)))
        Out(line);
    return 0;
}

static CommandRegistrar reg({QStringLiteral("article-tags"), QStringLiteral("FILE"),
                             QStringLiteral("count the tags one article file uses, as the tag editor lists them"),
                             RunArticleTags});
