#include "cli/Commands.h"

#include "jobs/JobDefine.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

static std::vector<CliCommand>& Registry()
{
    static std::vector<CliCommand> commands;
    return commands;
}

CommandRegistrar::CommandRegistrar(const CliCommand& command) { Registry().push_back(command); }

const std::vector<CliCommand>& AllCommands() { return Registry(); }

QStringList ParsedArgs::values(const QString& name) const
{
    QStringList out;
    for (const auto& o : options)
        if (o.first == name)
            out << o.second;
    return out;
}

QString ParsedArgs::value(const QString& name, const QString& def) const
{
    const QStringList v = values(name);
    return v.isEmpty() ? def : v.last();
}

bool ParsedArgs::has(const QString& name) const
{
    return flags.contains(name) || !values(name).isEmpty();
}

ParsedArgs ParseArgs(const QStringList& args, const QStringList& valueOptions,
                     const QStringList& flagOptions)
{
    ParsedArgs p;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a.startsWith("--") && a.size() > 2) {
            QString name = a.mid(2);
            QString inlineValue;
            bool hasInline = false;
            if (int eq = name.indexOf('='); eq > 0) {
                inlineValue = name.mid(eq + 1);
                name = name.left(eq);
                hasInline = true;
            }
            if (flagOptions.contains(name) && !hasInline) {
                p.flags << name;
            } else if (valueOptions.contains(name)) {
                if (hasInline) {
                    p.options.append({name, inlineValue});
                } else if (i + 1 < args.size()) {
                    p.options.append({name, args[++i]});
                } else {
                    p.error = QStringLiteral("option --%1 needs a value").arg(name);
                    return p;
                }
            } else {
                p.error = QStringLiteral("unknown option %1").arg(a);
                return p;
            }
        } else {
            p.positional << a;
        }
    }
    return p;
}

bool OpenJobFolder(const QString& folderArg, TJobDefine& job)
{
    const QString folder = QFileInfo(folderArg).absoluteFilePath();
    if (!IsJobFolder(folder)) {
        Err(NotJobFolderMessage);
        return false;
    }
    job.WorkFolder = QDir::cleanPath(folder);
    LoadJobFile(job);
    return true;
}

static void Write(FILE* stream, const QString& line)
{
    QByteArray bytes = line.toUtf8();
    bytes.replace("\r\n", "\n");
    bytes.append('\n');
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void Out(const QString& line) { Write(stdout, line); }
void Err(const QString& line) { Write(stderr, line); }

int UsageError(const QString& message)
{
    Err(message);
    Err(QStringLiteral("quilo --help lists the commands."));
    return 2;
}
