#pragma once
// The session state of the running program: login, open job, keyword options, code table flag.
// Windows read it; logic receives the pieces it needs as arguments.

#include "jobs/JobDefine.h"

#include <QList>
#include <QString>
#include <QStringList>

struct TvuxSchOption {
    QString ar_id;
    int sptr = 0;
    int stype = 0;
    QString value;
};

class TmyLIB {
public:
    TmyLIB();

    bool isCreated = false;
    QStringList no_br_tag;
    QList<int> no_br_tag_len;
    QString LoginID;
    QString LoginPW;
    QString staffNAME;
    QString staffLEVEL;
    TJobDefine Jobs;
    bool VUX_codes_Created = false;
    QList<TvuxSchOption> schOptions;
    QStringList sch_ar_ids;
    int schOptionsCount = 0;
    bool CanChangeSourceLocation = true;
    QString vuxCharSet; // every text file written into a job folder: UTF-16LE with byte-order mark

    bool IsLoggedIn() const { return !LoginID.isEmpty(); }
    void ClearLogin();
};

extern TmyLIB myLIB;
