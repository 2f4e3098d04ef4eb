// quilo check JOBDIR: the pre-upload check and our own wider check of the job; one line per
// problem (where, what, how to fix) or "OK".

#include "cli/UploadCommands.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "server/Login.h"
#include "server/VUX_codes.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "upload/JobPreflight.h"
#include "upload/UploadCheck.h"

#include <QDir>

bool EnsureCommandCodeTable(const QString& server);

bool OpenSessionJob(const QString& jobArg, UploadSession& s) { return OpenJobFolder(jobArg, s.job); }

int OpenUploadSession(const ParsedArgs& p, UploadSession& s)
{
    // Credentials from the environment keep the password out of the process list.
    s.id = p.has("id") ? p.value("id") : qEnvironmentVariable("QUILO_ID");
    s.pw = p.has("pw") ? p.value("pw") : qEnvironmentVariable("QUILO_PW");
    s.server = p.has("server") ? p.value("server") : ServerBaseURL();
    ConsoleInteraction ui;
    {
        THttpClient client;
        client.SetBaseURL(s.server);
        if (RunLogin(s.id, s.pw, client, ui, myLIB) != LoginResult::Complete)
            return 1;
    }
    if (!EnsureCommandCodeTable(s.server))
        return 1;
    s.codes = SessionCodes();
    s.products = LoadBookInfo(BookInfoFileName());
    return 0;
}

bool LoadSessionKeywords(UploadSession& s, Interaction& ui)
{
    return LoadKeywordDefinitions(KeywordDefinitionsFile(s.job), *s.codes, s.defs, ui);
}

namespace {

// The check's message-pane lines and boxes go to stderr; the last one says why it failed.
class CheckConsole : public ConsoleInteraction {
public:
    QString last;
    void ShowInfo(const QString& text) override
    {
        last = text;
        ConsoleInteraction::ShowInfo(text);
    }
    void Report(const QString& line) override
    {
        last = line;
        ConsoleInteraction::Report(line);
    }
};

} // namespace

static int RunCheck(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, ServerOptions);
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo check JOBDIR [--id ID] [--pw PASSWORD] [--server URL]"));
    UploadSession s;
    if (!OpenSessionJob(p.positional[0], s))
        return 1;
    if (const int rc = OpenUploadSession(p, s))
        return rc;

    CheckConsole ui;
    QList<TJobProblem> problems;
    TUploadCheck check;
    // Without keyword definitions the upload window closes before its check; the job is still
    // looked at so that every other problem shows too.
    if (LoadSessionKeywords(s, ui)) {
        check = RunUploadCheck(s.job, s.defs.ar_ids, ui);
    } else {
        problems.append({QDir(s.job.WorkFolder).relativeFilePath(KeywordDefinitionsFile(s.job)),
                         QStringLiteral("키워드 정의를 읽을 수 없습니다: ") + QString(ui.last).replace(QStringLiteral("\r\n"), QStringLiteral(" ")),
                         QStringLiteral("키워드 정의를 다시 받으십시오(quilo keywords fetch).")});
        check.passed = true; // not run; the line above stands for it
    }
    problems += RunJobPreflight(s.job, s.defs.ar_ids, s.products);
    // Valid but most likely not meant: said, without changing the outcome.
    for (const QString& warning : UploadWarnings(s.job, *s.codes, &s.defs.options))
        Out(QStringLiteral("warning\t") + warning);
    for (const TJobProblem& problem : problems)
        Out(problem.Line());
    if (!check.passed && problems.isEmpty()) {
        QString why = ui.last;
        why.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        Out(QStringLiteral(".\t") + why + QStringLiteral("\t결과 업로드 창의 검사 메시지대로 고치십시오."));
    }
    if (check.passed && problems.isEmpty()) {
        Out(QStringLiteral("OK"));
        return 0;
    }
    Err(QStringLiteral("문제 %1개").arg(qMax<qsizetype>(problems.size(), 1)));
    return 1;
}

static CommandRegistrar reg({QStringLiteral("check"), QStringLiteral("JOBDIR [--id ID] [--pw PASSWORD] [--server URL]"),
                             QStringLiteral("log in, run the pre-upload check and check the whole job (articles render, "
                                            "image tags, connection/page/image link files, .kwd dates, links); prints "
                                            "one line per problem (where TAB what TAB how to fix) or OK, after "
                                            "\"warning TAB what\" lines for values sent as BAD and entity references"),
                             RunCheck});
