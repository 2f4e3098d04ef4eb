// quilo split-lines FILE [--after TEXT | --before TEXT]...: cuts lines of 3850 characters or
// more at the split texts, without asking; the previous file is kept as FILE.NNN.org.

#include "cli/Commands.h"
#include "cli/SplitTextArgs.h"
#include "shell/Interaction.h"
#include "tools/LineSplitter.h"

#include <QFileInfo>

static int RunSplitLines(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("after"), QStringLiteral("before")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo split-lines FILE [--after TEXT | --before TEXT]..."));
    LineSplitOptions options;
    QString error;
    if (!SplitTextsFromArgs(p, options, error))
        return UsageError(error);
    if (!HasSplitText(options)) {
        Err(QStringLiteral("줄 분리 구분자를 입력하세요."));
        return 2;
    }
    options.noAsk = true;
    ConsoleInteraction ui;
    const LineSplitResult r = SplitLongLines(QFileInfo(p.positional[0]).absoluteFilePath(), options, ui);
    for (const QString& b : r.backups)
        Err(SplitterLogLine(QStringLiteral("-원본을 다른 이름으로 저장합니다.")) + '\n' + b);
    return r.outcome == SplitOutcome::Done ? 0 : 1;
}

static CommandRegistrar reg({QStringLiteral("split-lines"), QStringLiteral("FILE [--after TEXT | --before TEXT]..."),
                             QStringLiteral("split lines of 3850 characters or more at the given split texts"),
                             RunSplitLines});
