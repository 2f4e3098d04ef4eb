// quilo extract JOBDIR [--server URL]: the keyword extraction of every keyword tab into its
// result workbook, as the window's run answered Yes.

#include "cli/Commands.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/KeywordExtract.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"

#include <QElapsedTimer>

namespace {

// Messages as every command gives them, and the tab progress as lines on stderr, with the time
// the search and the workbook of each tab took.
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
        m_name = tab >= 0 ? m_job.TabsName[tab] : m_ids.value(entry);
        Err(QStringLiteral("%1/%2 %3: %4").arg(entry + 1).arg(m_ids.size()).arg(m_name, columns.texts.join(QLatin1Char(' '))));
        m_clock.start();
        m_writing = false;
    }
    // Bar 2 counts the workbook rows: its start ends the search, its end the workbook.
    void Progress(int bar, qint64 position, qint64 maximum) override
    {
        if (bar != 2 || maximum <= 0)
            return;
        if (!m_writing) {
            m_writing = true;
            m_search = m_clock.restart();
        }
        if (position >= maximum)
            Err(QStringLiteral("%1: 검색 %2초, 결과 파일 저장 %3초")
                    .arg(m_name)
                    .arg(m_search / 1000.0, 0, 'f', 2)
                    .arg(m_clock.elapsed() / 1000.0, 0, 'f', 2));
    }

private:
    const TJobDefine& m_job;
    QStringList m_ids;
    QString m_name;
    QElapsedTimer m_clock;
    qint64 m_search = 0;
    bool m_writing = false;
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
