// quilo extract JOBDIR [--server URL]: the keyword extraction of every keyword tab into its
// result workbook, as the window's run answered Yes.

#include "cli/Commands.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/KeywordExtract.h"
#include "jobs/JobDefine.h"
#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"

namespace {

// Messages as every command gives them, and the tab progress as lines on stderr.
class ExtractInteraction : public ConsoleInteraction, public TKeywordRunObserver {
public:
    explicit ExtractInteraction(const TJobDefine& job, const QStringList& arIds)
        : m_job(job)
        , m_ids(arIds)
    {
    }
    void TabStarted(int entry, const TKeywordColumns& columns) override
    {
        const int tab = TabIndexById(m_job, m_ids.value(entry));
        Err(QStringLiteral("%1/%2 %3: %4").arg(entry + 1).arg(m_ids.size())
                .arg(tab >= 0 ? m_job.TabsName[tab] : m_ids.value(entry), columns.texts.join(QLatin1Char(' '))));
    }

private:
    const TJobDefine& m_job;
    QStringList m_ids;
};

} // namespace

static int RunExtract(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("server")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo extract JOBDIR [--server URL]"));
    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;

    ConsoleInteraction console;
    const QString server = p.has(QStringLiteral("server")) ? p.value(QStringLiteral("server")) : ServerBaseURL();
    // The column file comes from the server when it is missing; the code table is written by `quilo login`.
    if (!EnsureCodeTable(console, [&console, server] {
            THttpClient client;
            client.SetBaseURL(server);
            FetchMetaInfo(client, MetaInfoFileName(), console);
        }))
        return 1;
    const TVUX_codes& codes = *SessionCodes();
    TKeywordDefinitions defs;
    if (!LoadKeywordDefinitions(KeywordDefinitionsFile(job), codes, defs, console))
        return 1;

    ExtractInteraction ui(job, defs.ar_ids);
    const TKeywordRunOutcome out =
        RunKeywordExtraction(job, codes, defs.options, defs.ar_ids, ContentBaseURL(), ui, &ui);
    if (!out.completed)
        return 1;
    for (const QString& path : out.workbooks)
        Out(path);
    return 0;
}

static CommandRegistrar reg({QStringLiteral("extract"), QStringLiteral("JOBDIR [--server URL]"),
                             QStringLiteral("extract the keywords of every keyword tab into its result workbook"),
                             RunExtract});
