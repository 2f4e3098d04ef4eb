// quilo products: the products the server assigns to the staff member.

#include "cli/JobCommands.h"
#include "shell/Interaction.h"
#include "shell/Settings.h"

int FetchProductsForCommand(const ParsedArgs& p, QList<ProductRow>& rows)
{
    // Credentials from the environment keep the password out of the process list.
    const QString id = p.has("id") ? p.value("id") : qEnvironmentVariable("QUILO_ID");
    const QString pw = p.has("pw") ? p.value("pw") : qEnvironmentVariable("QUILO_PW");
    if (id.isEmpty())
        return UsageError(QStringLiteral("no staff ID: give --id ID or set QUILO_ID"));
    const QString server = p.has("server") ? p.value("server") : ServerBaseURL();
    ConsoleInteraction ui;
    switch (FetchAssignedProducts(id, pw, ServerFormPost(server), rows, ui)) {
    case ProductFetch::Ok:
        return 0;
    case ProductFetch::NotLoggedIn:
        return 2;
    default:
        return 1;
    }
}

static int RunProducts(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, ServerOptions);
    if (!p.ok())
        return UsageError(p.error);
    if (!p.positional.isEmpty())
        return UsageError(QStringLiteral("usage: quilo products [--id ID] [--pw PASSWORD] [--server URL]"));
    QList<ProductRow> rows;
    if (const int status = FetchProductsForCommand(p, rows); status != 0)
        return status;
    for (const ProductRow& row : rows)
        Out(row.join('\t'));
    return 0;
}

static CommandRegistrar reg({QStringLiteral("products"), QStringLiteral("[--id ID] [--pw PASSWORD] [--server URL]"),
                             QStringLiteral("list the products assigned to the staff member (or $QUILO_ID/$QUILO_PW): "
                                            "name, code, ID, source images, inserted images, tabs, links, tab IDs "
                                            "joined by TAB"),
                             RunProducts});
