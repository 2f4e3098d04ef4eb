#pragma once
// The products the server assigns to the logged-in staff member: the request, its reply and the
// eight columns of a product line.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

class Interaction;

inline const QString JobsGetMyPath = QStringLiteral("/ASP/vx__JobsGetMy.asp");

// Columns of a product line, in reply order.
enum ProductColumn {
    colName = 0,   // 제품명
    colCode = 1,   // Code
    colID = 2,     // ID
    colSrcImg = 3, // sIMG
    colInsImg = 4, // iIMG
    colTabs = 5,   // 탭정보
    colLinks = 6,  // 연결정보, "x" for none
    colArIds = 7,  // AR_ID
    ProductColumnCount = 8
};

// Every product row holds exactly ProductColumnCount texts (missing fields are empty).
using ProductRow = QStringList;

enum class ProductReplyKind {
    List,    // "OK" ... "end"
    Refused, // the whole reply "오류"
    Other    // anything else: no rows, no message
};

struct ProductReply {
    ProductReplyKind kind = ProductReplyKind::Other;
    QList<ProductRow> rows;
};

ProductReply ParseProductReply(const QString& reply);

// One form request to the server: path below the base URL and the fields in order; false with
// the reason when the server could not be asked (no connection, HTTP error, broken reply).
using FormPostFn = std::function<bool(const QString& path, const QList<QPair<QString, QString>>& fields,
                                      QString& reply, QString& error)>;

class THttpClient;

// The request through `http` (which must outlive the result), or through a client of its own
// against `baseUrl`.
FormPostFn ServerFormPost(THttpClient* http);
FormPostFn ServerFormPost(const QString& baseUrl);

inline const QString ProductsLoginFirstMessage =
    QStringLiteral("제품 정보를 보려면 로그인을 해야 합니다. 창을 닫고 로그인하십시요.");
inline const QString ProductsNoServerMessage =
    QStringLiteral("서버에 연결하지 못했습니다. 인터넷 연결을 확인하십시오.");
inline const QString ProductsRefusedMessage = QStringLiteral("아이디나 비밀번호가 맞지 않습니다.");

enum class ProductFetch { Ok, NotLoggedIn, Failed, Refused };

// Asks the server for the products of `id`/`pw` and tells the operator what went wrong.
// Ok also covers a reply that is not a list (no rows, nothing shown).
ProductFetch FetchAssignedProducts(const QString& id, const QString& pw, const FormPostFn& post,
                                   QList<ProductRow>& rows, Interaction& ui);

// The hint over a product row: name | tabs | links.
QString ProductHint(const ProductRow& row);

// Search with wrap-around: the first row after `selected` whose name contains `text`, else the
// first from the top up to and including `selected`; -1 when none or `text` is empty.
int FindProductRow(const QList<ProductRow>& rows, const QString& text, int selected);
