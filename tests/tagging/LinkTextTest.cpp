#include "common/TestSupport.h"
#include "tagging/Links.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

const QString Host = "content.example:8080/c";
const QString ProductPrefix = ProductLinkPrefix(Host);

QString Apply(QString text, const TTextChange& change)
{
    return text.replace(change.start, change.length, change.replacement);
}

TJobDefine TwoTabs()
{
    TJobDefine job;
    job.TabsCount = 2;
    job.TabsName[0] = "본문";
    job.TabsID[0] = "101";
    job.TabsName[1] = "번역";
    job.TabsID[1] = "102";
    return job;
}

} // namespace

TEST(LinkText, OpeningTags)
{
    const QString p = "<A HREF=\"INNERREFER://page=";
    EXPECT_EQ(InnerLinkPrefix, p);
    EXPECT_EQ(InnerLinkPrefix.size(), 27);
    EXPECT_EQ(InnerLinkTag(12, "101", false), p + "0012\">");
    EXPECT_EQ(InnerLinkTag(7, "X", true), p + "0007&tap=X\">");
    EXPECT_EQ(InnerLinkTag(12345, "102", true), p + "12345&tap=102\">");
    EXPECT_EQ(ProductLinkTag(Host, "QU", "9003"),
              "<A HREF=\"http://content.example:8080/c/pcontent/?svcid=QU&proid=9003\">");
}

TEST(LinkText, RecognisingTheTagAtTheCaret)
{
    //                     0         1         2         3         4
    const QString inner = "앞 <A HREF=\"INNERREFER://page=12345&tap=102\">글</A> 뒤";
    const QString lower = "<a href=\"innerrefer://page=0012&tap=101\">x</a>";
    const QString product = ProductPrefix + "QU&proid=9003x\">책</A>";
    struct Case {
        const char* what;
        QString text;
        int caret;
        TLinkKind kind;
        int node, tagStart, tagEnd;
        bool hasTab;
        QString tabId;
    } cases[] = {
        {"inside the tag", inner, 10, TLinkKind::Inner, 12345, 2, 44, true, "102"},
        {"right after the <", inner, 3, TLinkKind::Inner, 12345, 2, 44, true, "102"},
        {"before the < finds nothing", inner, 2, TLinkKind::None, 1, -1, -1, false, ""},
        {"in the linked text a > comes first", inner, 45, TLinkKind::None, 1, -1, -1, false, ""},
        {"a lower-case anchor", lower, 20, TLinkKind::Inner, 12, 0, 41, true, "101"},
        {"no digits: node 1", "<A HREF=\"INNERREFER://page=x\">t</A>", 5, TLinkKind::Inner, 1, 0, 30, false, ""},
        {"&tap= with no page before it is no tab part", "<A HREF=\"INNERREFER://page=&tap=7\">", 5,
         TLinkKind::Inner, 1, 0, 35, false, ""},
        {"without a quote the identifier runs to the >", "<A HREF=\"INNERREFER://page=3&tap=7>", 5,
         TLinkKind::Inner, 3, 0, 35, true, "7"},
        {"the search stops at the line start", "<A HREF=\"INNERREFER://page=1\">\nabc", 33, TLinkKind::None, 1, -1,
         -1, false, ""},
        {"a tag cut off at the end of its line", "x <A HREF=\"INNERREFER://page=0042&ta\nnext>", 6,
         TLinkKind::Inner, 42, 2, -1, false, ""},
        {"a tag that is no link", "a <b>굵게</b>", 4, TLinkKind::OtherTag, 1, 2, -1, false, ""},
        {"a prefix cut short is no link", "<A HREF=\"INNERREF", 5, TLinkKind::OtherTag, 1, 0, -1, false, ""},
        {"a product link", product, 12, TLinkKind::Product, 1, 0, int(ProductPrefix.size()) + 16, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TLinkAtCaret link = LinkAtCaret(c.text, c.caret, ProductPrefix);
        EXPECT_EQ(link.kind, c.kind);
        EXPECT_EQ(link.tagStart, c.tagStart);
        EXPECT_EQ(link.tagEnd, c.tagEnd);
        if (c.kind == TLinkKind::Inner) {
            EXPECT_EQ(link.node, c.node);
            EXPECT_EQ(link.hasTab, c.hasTab);
            EXPECT_EQ(link.tabId, c.tabId);
        }
    }
    const TLinkAtCaret p = LinkAtCaret(product, 12, ProductPrefix);
    EXPECT_TRUE(p.hasProid);
    EXPECT_EQ(p.svcid, "QU");
    EXPECT_EQ(p.proid, "9003");
    EXPECT_FALSE(LinkAtCaret(ProductPrefix + "QU\">", 3, ProductPrefix).hasProid);
    // Caret positions outside the text are taken as its ends.
    EXPECT_EQ(LinkAtCaret(inner, 999, ProductPrefix).kind, TLinkKind::None);
    EXPECT_EQ(LinkAtCaret(inner, -5, ProductPrefix).kind, TLinkKind::None);
}

TEST(LinkText, TabOfAnInnerLink)
{
    const TJobDefine two = TwoTabs();
    TJobDefine one = two;
    one.TabsCount = 1;
    auto tabOf = [](const TJobDefine& job, const QString& text, QString* message) {
        return InnerLinkTab(job, LinkAtCaret(text, 3, {}), message);
    };
    QString message;
    EXPECT_EQ(tabOf(two, "<A HREF=\"INNERREFER://page=0007&tap=102\">", &message), 1);
    EXPECT_EQ(tabOf(two, "<A HREF=\"INNERREFER://page=0007\">", &message), 0);
    EXPECT_EQ(tabOf(one, "<A HREF=\"INNERREFER://page=0007&tap=999\">", &message), 0);
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(tabOf(two, "<A HREF=\"INNERREFER://page=0007&tap=999\">", &message), -1);
    EXPECT_EQ(message, "tap의 arid[999] 지정 오류입니다.");
}

TEST(LinkText, WrappingAndUnwrapping)
{
    const QString tag = InnerLinkTag(12, "", false);
    TTextChange change;
    EXPECT_FALSE(WrapInLink("a  \t b", 1, 4, tag, &change)); // blank selection
    ASSERT_TRUE(WrapInLink("가나다라", 3, 1, tag, &change));
    const QString linked = Apply("가나다라", change);
    EXPECT_EQ(linked, "가" + tag + "나다</A>라");
    EXPECT_EQ(change.start, 1);

    struct Case {
        const char* what;
        QString text;
        int selStart, selEnd;
        bool removed;
        QString result;
    } cases[] = {
        {"the tag selected after insertion", linked, 1, 1 + int(tag.size()), true, "가나다라"},
        {"the end in lower case goes too", "<A HREF=\"INNERREFER://page=1\">x</a>y", 0, 30, true, "xy"},
        {"a lower-case tag is not removed", "<a href=\"innerrefer://page=1\">x</a>", 0, 30, false, ""},
        {"a selection that is no tag", "abc", 0, 2, false, ""},
        {"without its own end, the next link's end goes",
         "<A HREF=\"INNERREFER://page=1\">x <A HREF=\"INNERREFER://page=2\">y</A>", 0, 30, true,
         "x <A HREF=\"INNERREFER://page=2\">y"},
        {"an empty link text loses its own end",
         "<A HREF=\"INNERREFER://page=1\"></A><B>b</A>", 0, 30, true, "<B>b</A>"},
        {"a selection stretched past the tag removes only the tag",
         "<A HREF=\"INNERREFER://page=1\">keep</A>", 0, 34, true, "keep"},
        {"a product link across lines", ProductPrefix + "QU&proid=1\">a\u2029b</A>c", 0,
         int(ProductPrefix.size()) + 13, true, "a\u2029bc"},
        {"no end anywhere: only the tag", "<A HREF=\"INNERREFER://page=1\">x", 0, 30, true, "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTextChange open;
        TTextChange end;
        ASSERT_EQ(UnwrapLink(c.text, c.selStart, c.selEnd, ProductPrefix, &open, &end), c.removed);
        if (c.removed) {
            EXPECT_EQ(Apply(Apply(c.text, end), open), c.result);
        }
    }
}

TEST(LinkProducts, ListSortAndSearch)
{
    const TProductRows rows = ParseBookInfo({"10^9001^QU^데모 도서", "", "9^9002^^QU^banana^extra^more",
                                             "2^9003^QU^'Apple^x'", "^^"});
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1], QStringList({"9", "9002", "QU", "banana"})); // empty fields dropped, four kept
    EXPECT_EQ(rows[2], QStringList({"2", "9003", "QU", "'Apple^x'"}));

    auto column = [](const TProductRows& r, int c) {
        QStringList out;
        for (const QStringList& row : r)
            out << row[c];
        return out;
    };
    const TProductRows names = ParseBookInfo({"3^1^A^cherry", "20^2^A^Banana", "9^3^A^apple", "10^4^A^Apple"});
    struct Case {
        int order, column;
        QStringList expected;
    } cases[] = {
        {OrderFavourite, 0, {"10", "20", "3", "9"}},
        // Equal names fall back on the rest of the row, key first ("10" before "9").
        {OrderName, 1, {"4", "3", "2", "1"}},
        {OrderNameDescending, 1, {"1", "2", "3", "4"}},
    };
    for (const Case& c : cases) {
        TProductRows sorted = names;
        SortProducts(sorted, c.order);
        EXPECT_EQ(column(sorted, c.column), c.expected) << c.order;
    }

    // Case-sensitive substring, from the row after the selection round to it.
    EXPECT_EQ(FindProductByName(names, "pple", -1), 2);
    EXPECT_EQ(FindProductByName(names, "pple", 2), 3);
    EXPECT_EQ(FindProductByName(names, "pple", 3), 2);
    EXPECT_EQ(FindProductByName(names, "cherry", 0), 0);
    EXPECT_EQ(FindProductByName(names, "APPLE", 0), -1);
    EXPECT_EQ(FindProductByName(names, "", 0), -1);
    EXPECT_EQ(FindProduct(names, "A", "4"), 3);
    EXPECT_EQ(FindProduct(names, "B", "4"), -1);
}

TEST(LinkCheck, EveryKindOfBrokenLink)
{
    const TJobDefine job = TwoTabs();
    const TProductRows products = ParseBookInfo({"3^9003^QU^데모 지명 사전"});
    const QString pp = ProductLinkPrefix("other.host");
    const QString text = "<A HREF=\"INNERREFER://page=0002&tap=102\">좋은\n링크</A>"
                         "<a href=\"innerrefer://page=0009&tap=101\">너무 먼</a>"
                         "<A HREF=\"INNERREFER://page=0001&tap=555\">없는 탭</A>"
                         "<A HREF=\"INNERREFER://page=0001\">탭 없음</A>"
                         + pp + "QU&proid=9003\">사전</A>" + pp + "QU&proid=1234\">없는 제품</A>"
                         "<A HREF=\"INNERREFER://page=0003&tap=101\">끝 없음"
                         "<A HREF=\"INNERREFER://page=0001&tap=101";
    const QList<TFoundLink> links = FindLinks(text, job, {5, 3}, products);
    QStringList lines;
    for (const TFoundLink& f : links)
        lines << f.target + '|' + f.text + '|' + f.problem;
    EXPECT_EQ(lines, QStringList({
                         "inner:번역:2|좋은 링크|",
                         "inner:본문:9|너무 먼|page-beyond-tree",
                         "inner:?555:1|없는 탭|unknown-tab-id",
                         "inner:?:1|탭 없음|missing-tab-id",
                         "product:QU:9003|사전|",
                         "product:QU:1234|없는 제품|unknown-product",
                         "inner:본문:3||missing-end",
                         "inner:본문:1||unclosed-tag",
                     }));
}
