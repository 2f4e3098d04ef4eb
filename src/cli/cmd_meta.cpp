// quilo meta init|show|set JOBDIR: the meta result files "{tab}.kwd" of the keyword tabs, built,
// shown and edited by column code on the same logic as the meta editing window.

#include "articles/ArticleIndex.h"
#include "cli/Commands.h"
#include "indexing/Category.h"
#include "indexing/KeywordDefinitions.h"
#include "indexing/MetaEdit.h"
#include "indexing/MetaFile.h"
#include "indexing/MetaInit.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"

bool EnsureCommandCodeTable(const QString& server);

static const QString Usage = QStringLiteral(
    "usage: quilo meta init JOBDIR [--server URL]\n"
    "       quilo meta show JOBDIR --tab TAB [--article N] [--server URL]\n"
    "       quilo meta set JOBDIR --tab TAB --article N CODE=VALUE... [--server URL]");

namespace {

// Progress of the initialisation on stderr: the tab counter and the closing messages.
class MetaConsole : public ConsoleInteraction {
public:
    void Status(int slot, const QString& text) override
    {
        if (slot == 0)
            Err(QStringLiteral("탭 진행 ") + text);
    }
};

struct MetaJob {
    TJobDefine job;
    TKeywordDefinitions defs;
    const TVUX_codes* codes = nullptr;
};

int OpenMetaJob(const ParsedArgs& p, MetaJob& m)
{
    if (!OpenJobFolder(p.positional[0], m.job))
        return 1;
    if (!EnsureCommandCodeTable(p.has("server") ? p.value("server") : ServerBaseURL()))
        return 1;
    m.codes = SessionCodes();
    ConsoleInteraction ui;
    if (!LoadKeywordDefinitions(KeywordDefinitionsFile(m.job), *m.codes, m.defs, ui))
        return 1;
    return 0;
}

// The job tab of keyword tab `name`; -1 after the message.
int KeywordTabByName(const MetaJob& m, const QString& name)
{
    for (const TKeywordTab& t : KeywordTabs(m.job, m.defs.ar_ids))
        if (m.job.TabsName[t.tab] == name)
            return t.tab;
    Err(name + QStringLiteral(": 색인 작업 대상 탭이 아닙니다."));
    return -1;
}

void PrintColumn(const TVUX_codes& codes, int node, int column, const QString& value)
{
    const TVuxColumn& c = codes.vux_Columns[column];
    Out(QString::number(node) + '\t' + c.GroupName + QStringLiteral(" > ") + c.ColumnName + '\t' + c.ColumnCode + '\t' + value);
}

int RunInit(const ParsedArgs& p)
{
    MetaJob m;
    if (const int rc = OpenMetaJob(p, m))
        return rc;
    MetaConsole ui;
    const TMetaInitOutcome out =
        RunMetaInitialisation(m.job, *m.codes, m.defs.options, m.defs.ar_ids, ContentBaseURL(), ui);
    for (const QString& file : out.written)
        Out(file);
    return out.completed ? 0 : 1;
}

// Loads the tab's tree and meta file; 0 or the exit status after the message.
int LoadTab(const MetaJob& m, int tab, TArticleTree& tree, TMetaData& data, QString& file)
{
    ConsoleInteraction ui;
    if (!LoadArticleTree(m.job, tab, tree, ui) || tree.empty())
        return 1;
    file = KeywordFileName(m.job, tab);
    data.SetBlockLength(m.codes->vux_DataBlockLength);
    QString error;
    if (file.isEmpty() || !ReadMetaFile(file, data, &error)) {
        Err(file + QStringLiteral(": 파일을 읽을 수 없습니다.\r\n") + error);
        return 1;
    }
    return 0;
}

int ArticleArg(const ParsedArgs& p, const TArticleTree& tree, int& node)
{
    bool ok = false;
    node = p.value("article").toInt(&ok);
    if (!ok)
        return UsageError(Usage);
    if (node < 1 || node >= tree.count()) {
        Err(QStringLiteral("기사 %1이(가) 없습니다. (1 ~ %2)").arg(node).arg(tree.count() - 1));
        return 1;
    }
    return 0;
}

int RunShow(const ParsedArgs& p)
{
    if (!p.has("tab") || p.positional.size() != 1)
        return UsageError(Usage);
    MetaJob m;
    if (const int rc = OpenMetaJob(p, m))
        return rc;
    const int tab = KeywordTabByName(m, p.value("tab"));
    if (tab < 0)
        return 1;
    TArticleTree tree;
    TMetaData data;
    QString file;
    if (const int rc = LoadTab(m, tab, tree, data, file))
        return rc;
    int first = 1, last = tree.count() - 1;
    if (p.has("article")) {
        if (const int rc = ArticleArg(p, tree, first))
            return rc;
        last = first;
    }
    for (int node = first; node <= last; ++node)
        for (int j = 0; j < m.codes->vux_DataBlockLength; ++j)
            if (const QString v = data.Value(node, j); !v.isEmpty())
                PrintColumn(*m.codes, node, j, v);
    return 0;
}

int RunSet(const ParsedArgs& p)
{
    if (!p.has("tab") || !p.has("article") || p.positional.size() < 2)
        return UsageError(Usage);
    MetaJob m;
    if (const int rc = OpenMetaJob(p, m))
        return rc;
    const int tab = KeywordTabByName(m, p.value("tab"));
    if (tab < 0)
        return 1;
    TArticleTree tree;
    TMetaData data;
    QString file;
    if (const int rc = LoadTab(m, tab, tree, data, file))
        return rc;
    int node = 0;
    if (const int rc = ArticleArg(p, tree, node))
        return rc;

    // Every assignment is checked before any is applied, so a refused one writes nothing.
    QList<QPair<int, QString>> changes;
    for (const QString& a : p.positional.mid(1)) {
        const qsizetype eq = a.indexOf('=');
        if (eq <= 0)
            return UsageError(Usage);
        QString error, stored;
        const int column = FindMetaColumn(*m.codes, a.left(eq), error);
        if (column < 0 || !CheckMetaValue(*m.codes, column, a.mid(eq + 1), stored, error)) {
            Err(error);
            return 1;
        }
        changes << qMakePair(column, stored);
    }
    QList<QPair<int, QString>> changed;
    for (const auto& [column, value] : changes)
        if (data.Value(node, column) != value) {
            data.SetValue(node, column, value);
            changed << qMakePair(column, value);
        }
    if (changed.isEmpty()) {
        Err(QStringLiteral("바뀐 값이 없습니다."));
        return 0;
    }
    QString backup, error;
    if (!SaveMetaFile(file, data, &backup, &error)) {
        Err(file + QStringLiteral(": 파일을 저장할 수 없습니다.\r\n") + error);
        return 1;
    }
    Err(file);
    if (!backup.isEmpty())
        Err(backup);
    for (const auto& [column, value] : changed)
        PrintColumn(*m.codes, node, column, value);
    return 0;
}

int RunMeta(const QStringList& args)
{
    if (args.isEmpty())
        return UsageError(Usage);
    const QString verb = args.first();
    const ParsedArgs p = ParseArgs(args.mid(1), {QStringLiteral("tab"), QStringLiteral("article"), QStringLiteral("server")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.isEmpty())
        return UsageError(Usage);
    if (verb == QStringLiteral("init") && p.positional.size() == 1 && !p.has("tab") && !p.has("article"))
        return RunInit(p);
    if (verb == QStringLiteral("show") && p.positional.size() == 1)
        return RunShow(p);
    if (verb == QStringLiteral("set"))
        return RunSet(p);
    return UsageError(Usage);
}

CommandRegistrar reg({QStringLiteral("meta"),
                      QStringLiteral("init JOBDIR | show JOBDIR --tab TAB [--article N] | set JOBDIR --tab TAB --article N CODE=VALUE..."),
                      QStringLiteral("meta data of the keyword tabs: initialise every tab's .kwd, show an article's values "
                                     "(article, column name, code, value), set values by column code (prints the changed lines)"),
                      RunMeta});

} // namespace
