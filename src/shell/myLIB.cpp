#include "shell/myLIB.h"

TmyLIB myLIB;

TmyLIB::TmyLIB()
{
    Jobs.srcImage = "N";
    Jobs.insImage = "N";
    vuxCharSet = QStringLiteral("UTF-16LE");
    no_br_tag = QStringLiteral("td,th,tr,table,p,ul,li,span,div,hr").split(',');
    for (const QString& t : no_br_tag)
        no_br_tag_len << int(t.size());
    isCreated = true;
}

void TmyLIB::ClearLogin()
{
    LoginID.clear();
    LoginPW.clear();
    staffNAME.clear();
    staffLEVEL.clear();
}
