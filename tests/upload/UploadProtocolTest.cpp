#include "upload/UploadProtocol.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

struct EscapeCase {
    QString in;
    QString out;
};

TEST(EscapeForUpload, Table)
{
    const EscapeCase cases[] = {
        {QStringLiteral("가 나/1.jpg"), QStringLiteral("%uAC00%20%uB098/1%2Ejpg")},
        {QStringLiteral("AZaz09/"), QStringLiteral("AZaz09/")},
        {QStringLiteral("a&b=c\r\n%u+"), QStringLiteral("a%26b%3Dc%0D%0A%25u%2B")},
        {QStringLiteral("한"), QStringLiteral("%uD55C")},
        {QString(QChar(0x7F)) + QChar(0x80) + QChar(0xFF06), QStringLiteral("%7F%u0080%uFF06")},
        // Outside the basic plane: the two surrogate units, each as its own "%u".
        {QString::fromUcs4(U"\U00020000x"), QStringLiteral("%uD840%uDC00x")},
        {QString(QChar(0)), QStringLiteral("%00")},
        {QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeForUpload(c.in), c.out) << c.in.toStdString();
}

TEST(UploadFormBody, KeepsOrderAndValuesAndLeavesOutEmptyFields)
{
    TFormFields f = IdentityFields(QStringLiteral("demo"), QStringLiteral("p w"));
    f.Set(QStringLiteral("p_id"), QStringLiteral("9001"));
    f.Set(QStringLiteral("coremeta"), QString());
    f.Set(QStringLiteral("content_detail"), EscapeForUpload(QStringLiteral("데모 도서")));
    // The password is sent as the operator typed it; only record values are escaped.
    EXPECT_EQ(UploadFormBody(f), QByteArray("id=demo&pw=p w&p_id=9001&content_detail=%uB370%uBAA8%20%uB3C4%uC11C"));
}

struct ReplyCase {
    QString firstLine;
    bool refused;
};

TEST(FormReply, RefusedOnErrorWordsAnywhereInFirstLine)
{
    const ReplyCase cases[] = {
        {QStringLiteral("INSERT"), false},
        {QStringLiteral("insert"), false},
        {QStringLiteral("OK"), false},
        {QStringLiteral("오류"), true},
        {QStringLiteral("저장 완료 - 오류 없음"), true},
        {QStringLiteral("xERRORx"), true},
        {QStringLiteral("error"), false},
        {QStringLiteral("Error"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsFormReplyRefused(c.firstLine), c.refused) << c.firstLine.toStdString();
    EXPECT_EQ(FormReplyErrorMessage(QStringLiteral("ERROR 12")),
              QStringLiteral("데이터 전송 오류입니다...\r\n수신 = ERROR 12"));
}

TEST(FileReply, OnlyTrimmedOkIsAccepted)
{
    EXPECT_TRUE(IsFileReplyAccepted(QStringLiteral("OK")));
    EXPECT_TRUE(IsFileReplyAccepted(QStringLiteral("  OK\r\n")));
    for (const QString& reply : {QStringLiteral("ok"), QStringLiteral("OK\r\nmore"), QStringLiteral(""),
                                QStringLiteral("OKAY"), QStringLiteral("ERROR")})
        EXPECT_FALSE(IsFileReplyAccepted(reply)) << reply.toStdString();
    EXPECT_EQ(FileReplyErrorReport(QStringLiteral("NO")), QStringLiteral("이미지 전송 오류입니다.... 오류 코드 = NO"));
}

// Answers from a script; records what was sent.
class ScriptedTransport : public TUploadTransport {
public:
    std::deque<HttpResult> replies;
    QList<QByteArray> forms;
    QStringList files;

    HttpResult SendForm(const QString& path, const TFormFields& fields) override
    {
        forms << path.toUtf8() + "?" + UploadFormBody(fields);
        return Next();
    }
    HttpResult SendFile(const QString&, const TFormFields&, const QString& fileName, const QByteArray&) override
    {
        files << fileName;
        return Next();
    }

private:
    HttpResult Next()
    {
        HttpResult r = replies.front();
        replies.pop_front();
        return r;
    }
};

HttpResult Reply(const QString& text)
{
    HttpResult r;
    r.ok = true;
    r.status = 200;
    r.text = text;
    return r;
}

HttpResult Broken(int status = 0)
{
    HttpResult r;
    r.status = status;
    r.error = QStringLiteral("connection refused");
    return r;
}

TEST(PostForm, ResendsTheSameRequestAfterEachFailedTransferUntilItGoesThrough)
{
    ScriptedTransport t;
    t.replies = {Broken(), Broken(500), Reply(QStringLiteral("UPDATE\r\n"))};
    int waits = 0;
    TFormFields f = IdentityFields(QStringLiteral("a"), QStringLiteral("b"));
    f.Set(QStringLiteral("p_id"), QStringLiteral("1"));
    const TPostResult r = PostForm(t, [&](const HttpResult&) { return ++waits, true; }, UploadStartPath, f);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(waits, 2);
    ASSERT_EQ(t.forms.size(), 3);
    EXPECT_EQ(t.forms[0], t.forms[2]);
    EXPECT_EQ(r.lines.value(0), QStringLiteral("UPDATE"));
    EXPECT_EQ(r.status, QStringLiteral("HTTP 200"));
}

TEST(PostForm, OutcomesOfStopRefusalAndEmptyReply)
{
    {
        ScriptedTransport t;
        t.replies = {Broken(), Broken()};
        int waits = 0;
        const TPostResult r = PostForm(t, [&](const HttpResult&) { return ++waits < 2; }, UploadRecordPath, {});
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.stopped);
        EXPECT_EQ(t.forms.size(), 2);
        EXPECT_TRUE(r.message.isEmpty()); // a stopped wait has shown its question already
    }
    {
        ScriptedTransport t;
        t.replies = {Reply(QStringLiteral("저장했습니다 (오류 0건)\r\nOK"))};
        const TPostResult r = PostForm(t, {}, UploadRecordPath, {});
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.stopped);
        EXPECT_EQ(r.message, FormReplyErrorMessage(QStringLiteral("저장했습니다 (오류 0건)")));
    }
    {
        ScriptedTransport t;
        t.replies = {Reply(QString())};
        const TPostResult r = PostForm(t, {}, UploadRecordPath, {});
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.emptyReply);
    }
    {
        // Without a wait a failed transfer is final.
        ScriptedTransport t;
        t.replies = {Broken()};
        EXPECT_TRUE(PostForm(t, {}, UploadRecordPath, {}).stopped);
    }
}

TEST(PostFile, WaitsOnFailedTransferAndAcceptsOnlyOk)
{
    ScriptedTransport t;
    t.replies = {Broken(503), Reply(QStringLiteral("OK\r\n")), Reply(QStringLiteral("FAIL"))};
    const auto wait = [](const HttpResult&) { return true; };
    EXPECT_TRUE(PostFile(t, wait, UploadFilePath, {}, QStringLiteral("1.jpg"), "x").ok);
    const TPostResult bad = PostFile(t, wait, UploadFilePath, {}, QStringLiteral("2.jpg"), "y");
    EXPECT_FALSE(bad.ok);
    EXPECT_FALSE(bad.stopped);
    EXPECT_EQ(bad.message, FileReplyErrorReport(QStringLiteral("FAIL")));
    EXPECT_EQ(t.files, (QStringList{QStringLiteral("1.jpg"), QStringLiteral("1.jpg"), QStringLiteral("2.jpg")}));
}

} // namespace
