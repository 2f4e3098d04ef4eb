#pragma once
// The staff login: staff check, product list and code table, the two files they leave in the
// data folder, and the login fields of the session.

#include <QString>
#include <QStringList>

class Interaction;
class THttpClient;
class TmyLIB;

inline const QString MsgEnterId = QStringLiteral("아이디를 입력하세요.");
inline const QString MsgEnterPw = QStringLiteral("비밀번호를 입력하세요.");
inline const QString MsgWrongLogin = QStringLiteral("아이디나 비밀번호가 맞지 않습니다.");
inline const QString MsgNoServer = QStringLiteral("서버와 연결할 수 없습니다. 인터넷 연결을 확인하십시오.");
inline const QString MsgNoProducts =
    QStringLiteral("로그인을 했으나 제품 정보를 가져오지 못했습니다. 관리자에게 문의하십시오.");
inline const QString MsgNoCodeTable =
    QStringLiteral("로그인을 했으나 코드 테이블을 가져오지 못했습니다. 관리자에게 문의하십시오.");

inline const QString StaffCheckPath = QStringLiteral("/ASP/vx__use_staff.asp");
inline const QString ProductListPath = QStringLiteral("/ASP/vx__getGoodsInfo.asp");
inline const QString CodeTablePath = QStringLiteral("/ASP/vx__getMetaCode.asp");

enum class LoginResult {
    Complete,         // logged in, both files written
    MissingInput,     // empty ID or password; nothing sent
    WrongCredentials, // the server said "오류"
    NoServer,         // no reply or a reply that is not a staff record; login fields cleared
    NoProducts,       // logged in, product list not fetched or not written
    NoCodeTable,      // logged in, code table not fetched or not written
    Stopped           // the operator stopped a request; nothing more is said
};

// The data lines of a list reply: between "OK" and the closing line. False when the reply is
// not a list (fewer than two lines, or a first line other than "OK").
bool ListReplyData(const QStringList& replyLines, QStringList& data);

// Runs the login with the ID and password as typed (not trimmed). The four login fields of
// `session` are cleared once the server is asked, and set after the staff check succeeds;
// "bookinfo.ini" and "codetable.txt" are replaced in the data folder only from complete
// replies. Messages go to `ui`.
LoginResult RunLogin(const QString& id, const QString& pw, THttpClient& client, Interaction& ui,
                     TmyLIB& session);
