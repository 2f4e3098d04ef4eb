// quilo login: the staff login, leaving "bookinfo.ini" and "codetable.txt" in the data folder.

#include "cli/Commands.h"
#include "server/HttpClient.h"
#include "server/Login.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"

static int RunLoginCommand(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {"id", "pw", "server"});
    if (!p.ok())
        return UsageError(p.error);
    if (!p.positional.isEmpty())
        return UsageError(QStringLiteral("usage: quilo login [--id ID] [--pw PASSWORD] [--server URL]"));
    // Credentials from the environment keep the password out of the process list.
    const QString id = p.has("id") ? p.value("id") : qEnvironmentVariable("QUILO_ID");
    const QString pw = p.has("pw") ? p.value("pw") : qEnvironmentVariable("QUILO_PW");

    THttpClient client;
    if (p.has("server"))
        client.SetBaseURL(p.value("server"));
    ConsoleInteraction ui;
    if (RunLogin(id, pw, client, ui, myLIB) != LoginResult::Complete)
        return 1;
    Out(myLIB.staffNAME + '\t' + myLIB.staffLEVEL);
    return 0;
}

static CommandRegistrar reg({QStringLiteral("login"), QStringLiteral("[--id ID] [--pw PASSWORD] [--server URL]"),
                             QStringLiteral("log in (or $QUILO_ID/$QUILO_PW); fetch the product list and code table "
                                            "into the data folder; prints name TAB level"),
                             RunLoginCommand});
