// quilo spell JOBDIR [--tab NAME]... [--summary]: the words of the articles the Korean dictionary
// and the operator's word list do not know.

#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "shell/Interaction.h"
#include "tagging/SpellCheck.h"

#include <QHash>
#include <algorithm>

static int RunSpell(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("tab")}, {QStringLiteral("summary")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo spell JOBDIR [--tab NAME]... [--summary]"));
    TJobDefine job;
    QList<int> tabs;
    if (p.has(QStringLiteral("tab"))) {
        for (const QString& name : p.values(QStringLiteral("tab"))) {
            const int tab = OpenArticleJobTab(p.positional[0], name, job);
            if (tab < 0)
                return 1;
            tabs << tab;
        }
    } else {
        if (!OpenJobFolder(p.positional[0], job))
            return 1;
        for (int t = 0; t < job.TabsCount; ++t)
            tabs << t;
    }
    const QString aff = FindKoreanDictionary();
    TSpellChecker checker;
    if (aff.isEmpty() || !checker.Open(aff)) {
        Err(NoKoreanDictionaryMessage);
        return 1;
    }
    checker.SetUserWords(LoadUserWords(UserWordListPath()));

    const bool summary = p.has(QStringLiteral("summary"));
    ConsoleInteraction ui;
    QHash<QString, qint64> counts;
    bool complete = true;
    for (int tab : tabs) {
        TArticleTree tree;
        if (!LoadArticleTree(job, tab, tree, ui)) {
            complete = false;
            continue;
        }
        const TSpellScan scan = SpellCheckTab(job, tab, tree, checker, ui, !summary, [&](const TSpellFinding& f) {
            if (summary)
                ++counts[f.word];
            else
                Out(QStringLiteral("%1\t%2\t%3\t%4\t%5").arg(job.TabsName[tab], f.articleId).arg(f.line).arg(f.word, f.suggestion));
        });
        complete = complete && scan.unreadable == 0 && !scan.stopped;
        Err(QStringLiteral("%1: 기사 %2개, 모르는 낱말 %3곳").arg(job.TabsName[tab]).arg(scan.articles).arg(scan.findings));
    }
    if (summary) {
        QList<QPair<QString, qint64>> rows;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            rows.append({it.key(), it.value()});
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first < b.first;
        });
        for (const auto& [word, count] : rows)
            Out(QStringLiteral("%1\t%2").arg(word).arg(count));
    }
    return complete ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("spell"), QStringLiteral("JOBDIR [--tab NAME]... [--summary]"),
                             QStringLiteral("list the words of the articles the Korean dictionary does not know "
                                            "(tab, article, line, word, first suggestion; --summary: word and count)"),
                             RunSpell});
