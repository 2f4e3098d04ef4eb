// quilo replace JOBDIR --tab NAME [--regex] [--case] [--word] [--text-only] [--dry-run] FIND REPLACEMENT:
// find and replace over every article of a tab, saved the way the tag editor saves.

#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "shell/Interaction.h"
#include "tagging/TabReplace.h"

#include <QSet>

static int RunReplace(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("tab")},
                                   {QStringLiteral("regex"), QStringLiteral("case"), QStringLiteral("word"),
                                    QStringLiteral("text-only"), QStringLiteral("dry-run")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 3 || p.values(QStringLiteral("tab")).size() != 1)
        return UsageError(QStringLiteral("usage: quilo replace JOBDIR --tab NAME [--regex] [--case] [--word] "
                                         "[--text-only] [--dry-run] FIND REPLACEMENT"));
    TReplaceOptions options;
    options.regex = p.has(QStringLiteral("regex"));
    options.matchCase = p.has(QStringLiteral("case"));
    options.wholeWord = p.has(QStringLiteral("word"));
    options.textOnly = p.has(QStringLiteral("text-only"));
    const TTextReplacer replacer(p.positional[1], p.positional[2], options);
    if (!replacer.valid())
        return UsageError(replacer.error());
    TJobDefine job;
    ConsoleInteraction ui;
    TArticleTree tree;
    const int tab = OpenArticleJobTree(p.positional[0], p.value(QStringLiteral("tab")), job, tree, ui);
    if (tab < 0)
        return 1;
    const TReplaceScan scan = FindReplaceMatches(job, tab, tree, replacer, ui);
    for (const TReplaceMatch& m : scan.matches)
        Out(QStringLiteral("%1\t%2\t%3\t%4").arg(m.articleId).arg(m.line + 1).arg(m.before, m.after));
    if (scan.stopped || scan.unreadable > 0)
        return 1;
    if (scan.matches.isEmpty()) {
        Err(QStringLiteral("찾는 문자열이 없습니다."));
        return 1;
    }
    if (p.has(QStringLiteral("dry-run"))) {
        QSet<int> articles;
        for (const TReplaceMatch& m : scan.matches)
            articles.insert(m.node);
        Err(QStringLiteral("기사 %1개에서 %2곳이 바뀝니다 (--dry-run: 저장하지 않았습니다).")
                .arg(articles.size())
                .arg(scan.matches.size()));
        return 0;
    }
    const TReplaceOutcome done = ApplyReplaceMatches(job, tab, tree, scan.matches, ui);
    for (const QString& e : done.errors)
        Err(e);
    Err(QStringLiteral("기사 %1개에서 %2곳을 바꾸었습니다.").arg(done.articlesChanged).arg(done.matchesReplaced));
    return done.errors.isEmpty() ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("replace"),
                             QStringLiteral("JOBDIR --tab NAME [--regex] [--case] [--word] [--text-only] [--dry-run] "
                                            "FIND REPLACEMENT"),
                             QStringLiteral("find and replace in every article of a tab (article, line, before, "
                                            "after on stdout; saved behind numbered backups unless --dry-run)"),
                             RunReplace});
