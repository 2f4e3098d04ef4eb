#include "server/Login.h"

#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"
#include "shell/myLIB.h"

bool ListReplyData(const QStringList& replyLines, QStringList& data)
{
    data.clear();
    if (replyLines.size() < 2 || replyLines.first() != QLatin1String("OK"))
        return false;
    data = replyLines.mid(1, replyLines.size() - 2);
    return true;
}

LoginResult RunLogin(const QString& id, const QString& pw, THttpClient& client, Interaction& ui,
                     TmyLIB& session)
{
    if (TrimBlanks(id).isEmpty()) {
        ui.ShowInfo(MsgEnterId);
        return LoginResult::MissingInput;
    }
    if (TrimBlanks(pw).isEmpty()) {
        ui.ShowInfo(MsgEnterPw);
        return LoginResult::MissingInput;
    }

    session.ClearLogin();
    const TFormFields fields = IdentityFields(id, pw);

    // Staff check: the whole reply "오류" is the refusal; anything else must be "name|level".
    const HttpResult staff = client.PostForm(StaffCheckPath, fields);
    if (staff.aborted)
        return LoginResult::Stopped;
    if (staff.ok && staff.text == QStringLiteral("오류")) {
        ui.ShowInfo(MsgWrongLogin);
        return LoginResult::WrongCredentials;
    }
    const QStringList staffFields = SplitFields(staff.text, QStringLiteral("|"));
    if (!staff.ok || staffFields.size() < 2) {
        session.ClearLogin();
        ui.ShowInfo(MsgNoServer);
        return LoginResult::NoServer;
    }
    session.staffNAME = staffFields[0];
    session.staffLEVEL = staffFields[1];
    session.LoginID = id;
    session.LoginPW = pw;

    // Product list, saved unchanged.
    const HttpResult goods = client.PostForm(ProductListPath, fields);
    if (goods.aborted)
        return LoginResult::Stopped;
    const QStringList goodsLines = goods.Lines();
    if (!goods.ok || goodsLines.size() < 2) {
        ui.ShowInfo(MsgNoServer);
        ui.ShowInfo(MsgNoProducts);
        return LoginResult::NoProducts;
    }
    QStringList products;
    if (!ListReplyData(goodsLines, products)) {
        ui.ShowInfo(MsgNoProducts);
        return LoginResult::NoProducts;
    }
    QString error;
    if (!WriteTextLines(BookInfoFileName(), products, TextEncoding::Utf16LE, &error)) {
        ui.ShowInfo(MsgNoProducts + "\r\n" + error);
        return LoginResult::NoProducts;
    }

    // Code table, "^" turned into TAB.
    const HttpResult codes = client.PostForm(CodeTablePath, fields);
    if (codes.aborted)
        return LoginResult::Stopped;
    QStringList codeRows;
    if (!codes.ok || !ListReplyData(codes.Lines(), codeRows)) {
        ui.ShowInfo(MsgNoCodeTable);
        return LoginResult::NoCodeTable;
    }
    for (QString& row : codeRows)
        row.replace('^', '\t');
    if (!WriteTextLines(CodeTableFileName(), codeRows, TextEncoding::Utf16LE, &error)) {
        ui.ShowInfo(MsgNoCodeTable + "\r\n" + error);
        return LoginResult::NoCodeTable;
    }
    return LoginResult::Complete;
}
