#include "jobs/ProductList.h"

#include "common/TestSupport.h"

#include <gtest/gtest.h>

TEST(ProductList, ParsesTheReply)
{
    struct Case {
        const char* name;
        QString reply;
        ProductReplyKind kind;
        QList<QStringList> rows;
    } cases[] = {
        {"two products",
         "OK\r\n책 하나^B1^1001^Y^N^본문,번역^번역,본문^101,102\r\n책 둘^B2^1002^N^N^본문^x^101\r\nend\r\n",
         ProductReplyKind::List,
         {{"책 하나", "B1", "1001", "Y", "N", "본문,번역", "번역,본문", "101,102"},
          {"책 둘", "B2", "1002", "N", "N", "본문", "x", "101"}}},
        {"six fields are not a product", "OK\na^b^c^d^e^f\nend", ProductReplyKind::List, {}},
        {"seven fields fill seven columns", "OK\na^b^c^d^e^f^g\nend", ProductReplyKind::List,
         {{"a", "b", "c", "d", "e", "f", "g", ""}}},
        {"fields beyond the eighth are ignored", "OK\na^b^c^d^e^f^g^h^i^j\nend", ProductReplyKind::List,
         {{"a", "b", "c", "d", "e", "f", "g", "h"}}},
        {"an empty field shifts the rest left", "OK\na^^c^d^e^f^g^h^i\nend", ProductReplyKind::List,
         {{"a", "c", "d", "e", "f", "g", "h", "i"}}},
        {"quotes keep the separator", "OK\n\"a^b\"^c^d^e^f^'g^h'^i^j\nend", ProductReplyKind::List,
         {{"\"a^b\"", "c", "d", "e", "f", "'g^h'", "i", "j"}}},
        {"lines after end are ignored", "OK\nend\na^b^c^d^e^f^g^h\n", ProductReplyKind::List, {}},
        {"missing end reads to the last line", "OK\na^b^c^d^e^f^g^h", ProductReplyKind::List,
         {{"a", "b", "c", "d", "e", "f", "g", "h"}}},
        {"refused", "오류", ProductReplyKind::Refused, {}},
        {"error word with a line break is no refusal", "오류\r\n", ProductReplyKind::Other, {}},
        {"not a list", "<html>500</html>", ProductReplyKind::Other, {}},
        {"empty", "", ProductReplyKind::Other, {}},
        {"lower-case ok", "ok\na^b^c^d^e^f^g^h\nend", ProductReplyKind::Other, {}},
    };
    for (const Case& c : cases) {
        const ProductReply r = ParseProductReply(c.reply);
        EXPECT_EQ(r.kind, c.kind) << c.name;
        EXPECT_EQ(r.rows, c.rows) << c.name;
    }
}

TEST(ProductList, FetchSendsTheLoginAndReportsFailures)
{
    QList<QPair<QString, QString>> sent;
    QString sentPath;
    QString answer;
    bool reachable = true;
    FormPostFn post = [&](const QString& path, const QList<QPair<QString, QString>>& fields, QString& reply,
                          QString& error) {
        sentPath = path;
        sent = fields;
        if (!reachable) {
            error = "refused";
            return false;
        }
        reply = answer;
        return true;
    };
    QList<ProductRow> rows;

    RecordingInteraction ui;
    answer = "OK\na^b^c^d^e^f^g^h\nend";
    EXPECT_EQ(FetchAssignedProducts(" me ", "p#w", post, rows, ui), ProductFetch::Ok);
    EXPECT_EQ(sentPath, "/ASP/vx__JobsGetMy.asp");
    EXPECT_EQ(sent, (QList<QPair<QString, QString>>{{"id", " me "}, {"pw", "p#w"}}));
    EXPECT_EQ(rows.size(), 1);
    EXPECT_TRUE(ui.infos.isEmpty());

    answer = "오류";
    EXPECT_EQ(FetchAssignedProducts("me", "bad", post, rows, ui), ProductFetch::Refused);
    EXPECT_TRUE(rows.isEmpty());
    reachable = false;
    EXPECT_EQ(FetchAssignedProducts("me", "pw", post, rows, ui), ProductFetch::Failed);
    sentPath.clear();
    EXPECT_EQ(FetchAssignedProducts("", "", post, rows, ui), ProductFetch::NotLoggedIn);
    EXPECT_TRUE(sentPath.isEmpty());
    EXPECT_EQ(ui.infos, QStringList({"아이디나 비밀번호가 맞지 않습니다.",
                                     "서버에 연결하지 못했습니다. 인터넷 연결을 확인하십시오.",
                                     "제품 정보를 보려면 로그인을 해야 합니다. 창을 닫고 로그인하십시요."}));
}

TEST(ProductList, SearchWrapsAround)
{
    const QList<ProductRow> rows = {
        {"국어 사전", "", "", "", "", "", "", ""},
        {"영어 사전", "", "", "", "", "", "", ""},
        {"수학 문제집", "", "", "", "", "", "", ""},
        {"국어 문법", "", "", "", "", "", "", ""},
    };
    EXPECT_EQ(FindProductRow(rows, "사전", 0), 1);
    EXPECT_EQ(FindProductRow(rows, "사전", 1), 0);  // wraps to the top
    EXPECT_EQ(FindProductRow(rows, "국어", 3), 0);
    EXPECT_EQ(FindProductRow(rows, "영어", 1), 1);  // the selected row itself, last
    EXPECT_EQ(FindProductRow(rows, "수학", 3), 2);  // only the row above the selected one
    EXPECT_EQ(FindProductRow(rows, "문", -1), 2);
    EXPECT_EQ(FindProductRow(rows, "없음", 0), -1);
    EXPECT_EQ(FindProductRow(rows, "", 0), -1);
    EXPECT_EQ(FindProductRow({}, "국어", 0), -1);
    EXPECT_EQ(ProductHint({"책", "B", "1", "Y", "N", "본문,번역", "번역,본문", "1,2"}), "책 | 본문,번역 | 번역,본문");
    EXPECT_EQ(ProductHint({"", "B", "1", "Y", "N", "본문", "x", "1"}), "");
}
