// quilo keywords fetch|show JOBDIR: the product's keyword definitions, from the server into
// "keywords.txt" and back out of it.

#include "articles/ArticleIndex.h"
#include "cli/JobCommands.h"
#include "indexing/KeywordDefinitions.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"

// The session's code table for a command: the data folder's "VuxMetaInfo.txt" (downloaded from
// `server` when missing) and "codetable.txt" (written by `quilo login`). False after the message.
bool EnsureCommandCodeTable(const QString& server)
{
    ConsoleInteraction ui;
    return EnsureCodeTable(ui, [&ui, server] {
        THttpClient client;
        if (!server.isEmpty())
            client.SetBaseURL(server);
        FetchMetaInfo(client, MetaInfoFileName(), ui);
    });
}

static const QString Usage = QStringLiteral(
    "usage: quilo keywords fetch JOBDIR [--id ID] [--pw PASSWORD] [--server URL]\n"
    "       quilo keywords show JOBDIR");

static int RunFetch(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, ServerOptions);
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(Usage);
    // Credentials from the environment keep the password out of the process list.
    const QString id = p.has("id") ? p.value("id") : qEnvironmentVariable("QUILO_ID");
    const QString pw = p.has("pw") ? p.value("pw") : qEnvironmentVariable("QUILO_PW");
    if (id.isEmpty())
        return UsageError(QStringLiteral("no staff ID: give --id ID or set QUILO_ID"));
    const QString server = p.has("server") ? p.value("server") : ServerBaseURL();
    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;
    if (!EnsureCommandCodeTable(server))
        return 1;
    ConsoleInteraction ui;
    const KeywordFetchResult r = FetchKeywordDefinitions(job, id, pw, *SessionCodes(), ServerFormPost(server), ui);
    if (r.status != KeywordFetch::Ok) {
        if (!r.errorPanel.isEmpty())
            Err(r.errorPanel);
        return 1;
    }
    Err(KeywordDefinitionsFile(job));
    for (const QString& line : r.lines)
        Out(line);
    return 0;
}

static int RunShow(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("server")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(Usage);
    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;
    if (!EnsureCommandCodeTable(p.has("server") ? p.value("server") : ServerBaseURL()))
        return 1;
    const TVUX_codes& codes = *SessionCodes();
    ConsoleInteraction ui;
    TKeywordDefinitions defs;
    if (!LoadKeywordDefinitions(KeywordDefinitionsFile(job), codes, defs, ui))
        return 1;
    for (const QString& arId : defs.ar_ids) {
        const int tab = TabIndexById(job, arId);
        if (tab < 0) {
            ui.ShowInfo(MsgKeywordsUnknownTab(arId));
            return 1;
        }
        Out(QStringLiteral("tab\t") + arId + '\t' + job.TabsName[tab]);
        for (const TvuxSchOption& o : defs.options) {
            if (o.ar_id != arId)
                continue;
            if (o.stype != KeywordFixed && o.stype != KeywordExtract) {
                ui.ShowInfo(MsgKeywordsGridKind);
                return 1;
            }
            const TVuxColumn& c = codes.vux_Columns[o.sptr];
            Out(QString::number(o.stype) + '\t' + c.GroupName + " > " + c.ColumnName + '\t' + o.value);
        }
    }
    if (defs.ar_ids.isEmpty()) {
        ui.ShowInfo(MsgKeywordsWrongInfo);
        return 1;
    }
    return 0;
}

static int RunKeywords(const QStringList& args)
{
    const QString verb = args.value(0);
    if (verb == QStringLiteral("fetch"))
        return RunFetch(args.mid(1));
    if (verb == QStringLiteral("show"))
        return RunShow(args.mid(1));
    return UsageError(Usage);
}

static CommandRegistrar reg({QStringLiteral("keywords"),
                             QStringLiteral("fetch JOBDIR [--id ID] [--pw PASSWORD] [--server URL] | show JOBDIR"),
                             QStringLiteral("fetch the product's keyword definitions into keywords.txt (prints the "
                                            "lines saved); or show them: per tab \"tab\" TAB ID TAB name, then kind "
                                            "TAB column TAB value"),
                             RunKeywords});
