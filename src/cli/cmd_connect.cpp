// quilo connect JOBDIR [--base TAB] [--auto]: the connection of a tab pair's articles.

#include "articles/ArticleIndex.h"
#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "tagging/TabConnect.h"

static int RunConnect(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("base")}, {QStringLiteral("auto")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1 || p.values(QStringLiteral("base")).size() > 1)
        return UsageError(QStringLiteral("usage: quilo connect JOBDIR [--base TAB] [--auto]"));
    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;

    QList<TConnectPair> pairs = BuildConnectPairs(job);
    if (pairs.isEmpty()) {
        // Nothing to connect is no failure: a script preparing any product goes on.
        Err(NoConnectPairMessage);
        return 0;
    }
    if (p.has(QStringLiteral("base"))) {
        const QString base = p.value(QStringLiteral("base"));
        QList<TConnectPair> chosen;
        for (const TConnectPair& pair : pairs)
            if (job.TabsName[size_t(pair.base)] == base)
                chosen << pair;
        if (chosen.isEmpty()) {
            Err(QStringLiteral("탭 [%1]에는 연결이 정의되지 않았습니다.").arg(base));
            return 1;
        }
        pairs = chosen;
    }
    const bool automatic = p.has(QStringLiteral("auto"));
    if (!automatic)
        pairs = pairs.mid(0, 1); // the rows of one pair, as the window opens on the first one

    ConsoleInteraction ui;
    bool allOk = true;
    for (const TConnectPair& pair : pairs) {
        TArticleTree base;
        TArticleTree target;
        if (!LoadArticleTree(job, pair.base, base, ui) || !LoadArticleTree(job, pair.target, target, ui)) {
            allOk = false;
            continue;
        }
        const QString path = ConnectFileName(job, pair.base);
        TConnectRead read = ReadConnectFile(path, base.count());
        if (!read.error.isEmpty()) {
            Err(read.error);
            allOk = false;
            continue;
        }
        if (const QString m = UnusableConnectLinesMessage(path, read.unusable); !m.isEmpty())
            Err(m);
        const QString& baseName = job.TabsName[size_t(pair.base)];
        if (automatic) {
            const int connected = AutoConnect(read.rows, base, target);
            QString error;
            if (!WriteConnectFile(path, read.rows, &error)) {
                Err(error);
                allOk = false;
                continue;
            }
            Err(ConnectSavedMessage(baseName));
            Out(QStringLiteral("%1\t%2\t%3\t%4")
                    .arg(baseName, job.TabsName[size_t(pair.target)])
                    .arg(connected)
                    .arg(base.count() - 1));
            continue;
        }
        for (int i = 0; i < read.rows.size(); ++i) {
            int node = -1;
            ParseConnectValue(read.rows[i], &node);
            const QString targetTitle = target.valid(node) ? target.node(node).title : QString();
            Out(QStringLiteral("%1\t%2\t%3\t%4").arg(i).arg(base.node(i).title, read.rows[i], targetTitle));
        }
    }
    return allOk ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("connect"), QStringLiteral("JOBDIR [--base TAB] [--auto]"),
                             QStringLiteral("show a tab pair's article connections, or connect equal titles "
                                            "automatically and save (--auto)"),
                             RunConnect});
