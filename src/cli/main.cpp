// `quilo`: the headless command line over the same logic as the desktop program.

#include "cli/Commands.h"
#include "shell/Runtime.h"

#include <QCoreApplication>
#include <algorithm>

static void PrintHelp()
{
    Out(QStringLiteral("VUX - Quilo Maker %1, command line").arg(ProgramVersion()));
    Out(QStringLiteral("usage: quilo COMMAND [ARGS]"));
    Out(QString());
    std::vector<CliCommand> commands = AllCommands();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
    for (const CliCommand& c : commands)
        Out(QStringLiteral("  quilo %1 %2\n      %3").arg(c.name, c.usage, c.summary));
    Out(QString());
    Out(QStringLiteral("  quilo --version     print the program version"));
    Out(QStringLiteral("  quilo --help        this list"));
    Out(QString());
    Out(QStringLiteral("Exit status: 0 success, 1 failure or stop, 2 wrong usage."));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VUX - Quilo Maker"));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp();
        return args.isEmpty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        Out(ProgramVersion());
        return 0;
    }
    const QString name = args.takeFirst();
    for (const CliCommand& c : AllCommands())
        if (c.name == name)
            return c.run(args);
    return UsageError(QStringLiteral("unknown command: %1").arg(name));
}
