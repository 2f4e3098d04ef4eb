#pragma once
// Commands of `quilo` register themselves here; each lives in its own cmd_*.cpp.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <vector>

struct CliCommand {
    QString name;
    QString usage;   // arguments after the name, for --help
    QString summary; // one line, Korean or English
    int (*run)(const QStringList& args); // 0 success, 1 failure or stop, 2 wrong usage
};

struct CommandRegistrar {
    explicit CommandRegistrar(const CliCommand& command);
};

const std::vector<CliCommand>& AllCommands();

// Options as given, in order; `--name value` for value options, `--name` alone for flags.
struct ParsedArgs {
    QStringList positional;
    QList<QPair<QString, QString>> options;
    QStringList flags;
    QString error;

    bool ok() const { return error.isEmpty(); }
    QStringList values(const QString& name) const;
    QString value(const QString& name, const QString& def = {}) const;
    bool has(const QString& name) const;
};

ParsedArgs ParseArgs(const QStringList& args, const QStringList& valueOptions,
                     const QStringList& flagOptions = {});

struct TJobDefine;
// Loads the job of the folder named on the command line; tells why on stderr when it is no job folder.
bool OpenJobFolder(const QString& folderArg, TJobDefine& job);

// Loads the job of JOBDIR and finds the tab named `tabName`; -1 after telling why.
int OpenArticleJobTab(const QString& folderArg, const QString& tabName, TJobDefine& job);
class TArticleTree;
class Interaction;
// ... and reads that tab's article tree; -1 after telling why.
int OpenArticleJobTree(const QString& folderArg, const QString& tabName, TJobDefine& job, TArticleTree& tree,
                       Interaction& ui);

// The rule of every command: stdout carries its result and nothing else, so scripts can read and
// compare it; messages, message-pane lines, progress and file names go to stderr; the exit status
// says whether it worked. Both write UTF-8 with LF line ends.
void Out(const QString& line);
void Err(const QString& line);
int UsageError(const QString& message);
