// quilo generate JOBDIR [--tab NAME]... [--remove TEXT]... [--after TEXT | --before TEXT]...:
// article generation of the named tabs (all without --tab), every question answered Yes.

#include "articles/ArticleGenerator.h"
#include "cli/Commands.h"
#include "cli/SplitTextArgs.h"
#include "jobs/JobDefine.h"
#include "shell/Interaction.h"
#include "tools/LineSplitter.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Too-long lines are cut with the split texts of the command line, without asking; without
// split texts the tab stops, as ending the work at the notice would.
class CliLongLines : public LongLineHandler {
public:
    CliLongLines(const LineSplitOptions& options, Interaction& ui)
        : options(options)
        , ui(ui)
    {
        this->options.noAsk = true;
    }

    bool FixLongLine(const QString& filePath, int lineNumber, const QString& line, bool& noAsk) override
    {
        Q_UNUSED(line);
        noAsk = true;
        if (!HasSplitText(options)) {
            ui.ShowInfo(filePath + QStringLiteral("\r\n줄 번호 : %1\r\n").arg(lineNumber)
                        + QStringLiteral("줄이 너무 깁니다. 줄 조절을 해야 됩니다.\r\n")
                        + QStringLiteral("원문을 참조하여 줄을 분리할 부분을 결정하십시오."));
            return false;
        }
        return SplitLongLines(filePath, options, ui).outcome == SplitOutcome::Done;
    }

private:
    LineSplitOptions options;
    Interaction& ui;
};

} // namespace

static int RunGenerate(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("tab"), QStringLiteral("remove"),
                                          QStringLiteral("after"), QStringLiteral("before")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo generate JOBDIR [--tab NAME]... [--remove TEXT]... "
                                         "[--after TEXT | --before TEXT]..."));
    LineSplitOptions split;
    QString error;
    if (!SplitTextsFromArgs(p, split, error))
        return UsageError(error);
    const QStringList removes = p.values(QStringLiteral("remove"));
    if (removes.size() > 3)
        return UsageError(QStringLiteral("at most 3 remove texts (--remove)"));

    TJobDefine job;
    if (!OpenJobFolder(p.positional[0], job))
        return 1;

    QList<int> tabs;
    const QStringList names = p.values(QStringLiteral("tab"));
    if (names.isEmpty()) {
        for (int i = 0; i < job.TabsCount; ++i)
            tabs << i;
    } else {
        for (const QString& name : names) {
            int found = -1;
            for (int i = 0; i < job.TabsCount && found < 0; ++i)
                if (job.TabsName[i] == name)
                    found = i;
            if (found < 0)
                return UsageError(QStringLiteral("탭을 찾을 수 없습니다: ") + name);
            if (!tabs.contains(found))
                tabs << found;
        }
        // Tabs run in the order of the job, as the window's grid runs them.
        std::sort(tabs.begin(), tabs.end());
    }

    ConsoleInteraction ui;
    CliLongLines longLines(split, ui);
    return GenerateArticles(job, tabs, CollectRemoveTexts(removes), ui, &longLines) ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("generate"),
                             QStringLiteral("JOBDIR [--tab NAME]... [--remove TEXT]... [--after TEXT | --before TEXT]..."),
                             QStringLiteral("generate the articles and article index of the job's tabs"),
                             RunGenerate});
