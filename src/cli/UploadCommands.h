#pragma once
// Shared by `quilo check` and `quilo upload`: the login, the job, the code table and the keyword
// definitions that both need before they look at the job.

#include "cli/Commands.h"
#include "cli/JobCommands.h"
#include "indexing/KeywordDefinitions.h"
#include "jobs/JobDefine.h"
#include "tagging/Links.h"

class Interaction;
class TVUX_codes;

struct UploadSession {
    TJobDefine job;
    QString id, pw, server;
    const TVUX_codes* codes = nullptr;
    TKeywordDefinitions defs;
    TProductRows products;
};

// Opens the job of `jobArg` (false after the message when it is none).
bool OpenSessionJob(const QString& jobArg, UploadSession& s);
// Logs in with --id/--pw/--server (or $QUILO_ID/$QUILO_PW), then loads the code table and the
// product list. 0, or the exit status after the message.
int OpenUploadSession(const ParsedArgs& p, UploadSession& s);
// The job's keyword definitions; false after the message.
bool LoadSessionKeywords(UploadSession& s, Interaction& ui);
