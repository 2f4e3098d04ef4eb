#pragma once
// Shared by `quilo products` and `quilo job new`.

#include "cli/Commands.h"
#include "jobs/ProductList.h"
#include "jobs/JobDefine.h"

// The options both commands take: --id, --pw (or QUILO_ID / QUILO_PW) and --server.
inline const QStringList ServerOptions = {QStringLiteral("id"), QStringLiteral("pw"), QStringLiteral("server")};

// Fetches the products assigned to the staff member of the options. Returns 0 with `rows`
// filled, or the exit status after the message was written.
int FetchProductsForCommand(const ParsedArgs& args, QList<ProductRow>& rows);

// `quilo job new JOBDIR --product PID [--src TAB=FOLDER]...`
int RunJobNew(const QStringList& args);

// What `quilo job JOBDIR` prints.
void PrintJob(const TJobDefine& job);
