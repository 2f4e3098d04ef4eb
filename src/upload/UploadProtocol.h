#pragma once
// How the upload talks to the server: the value escaping of every record, the form and file
// posts with their reply rules, and the wait-and-resend after a failed transfer. The sending
// itself goes through TUploadTransport so that the run can be driven without a network.

#include "server/HttpClient.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

inline const QString UploadStartPath = QStringLiteral("/ASP/vx__InsertProductStart.asp");
inline const QString UploadRecordPath = QStringLiteral("/ASP/vx__InsertProduct.asp");
inline const QString UploadTabLinkPath = QStringLiteral("/ASP/vx__insertTabLinkInfo.asp");
inline const QString UploadPageImagePath = QStringLiteral("/ASP/vx__insertwImageInfo.asp");
inline const QString UploadCompletePath = QStringLiteral("/ASP/vx__InsertProductComplete.asp");
inline const QString UploadFilePath = QStringLiteral("/ASP/vx__use_fileup.asp");

// The content type the file part of an image post declares (what the server has always seen).
inline const QString UploadFilePartType = QStringLiteral("multipart/form-data");

// "/" and ASCII letters and digits stay; any other character below U+0080 is "%XX", anything
// above is "%uXXXX" per UTF-16 code unit (so a character outside the basic plane is two units).
QString EscapeForUpload(const QString& text);

// The pre-escaped form: pairs in list order, values as the caller escaped them, empty ones left out.
QByteArray UploadFormBody(const TFormFields& fields);

// A form reply is refused when its first line contains "오류" or "ERROR" anywhere (case-sensitive).
bool IsFormReplyRefused(const QString& firstLine);
// "데이터 전송 오류입니다...\r\n수신 = " + the first line.
QString FormReplyErrorMessage(const QString& firstLine);

// A file reply is accepted only when the whole reply, trimmed, is exactly "OK".
bool IsFileReplyAccepted(const QString& reply);
// The message-pane line of a refused file: "이미지 전송 오류입니다.... 오류 코드 = " + the reply.
QString FileReplyErrorReport(const QString& reply);

// What the status label shows after a transfer: "HTTP nnn", or why no reply came.
QString TransferStatusText(const HttpResult& result);

// Sends one request; the real one is an THttpClient, tests put a scripted one in its place.
class TUploadTransport {
public:
    virtual ~TUploadTransport() = default;
    virtual HttpResult SendForm(const QString& path, const TFormFields& fields) = 0;
    virtual HttpResult SendFile(const QString& path, const TFormFields& fields, const QString& fileName,
                                const QByteArray& fileBytes) = 0;
};

class THttpUploadTransport : public TUploadTransport {
public:
    explicit THttpUploadTransport(THttpClient& forms, THttpClient& files) : m_forms(forms), m_files(files) {}
    HttpResult SendForm(const QString& path, const TFormFields& fields) override;
    HttpResult SendFile(const QString& path, const TFormFields& fields, const QString& fileName,
                        const QByteArray& fileBytes) override;

private:
    THttpClient& m_forms;
    THttpClient& m_files;
};

// Called after a failed transfer: true to send the same request again, false when the operator
// stopped the wait.
using TServerWait = std::function<bool(const HttpResult& failed)>;

struct TPostResult {
    bool ok = false;
    bool stopped = false;     // the operator stopped the wait for the server
    bool emptyReply = false;  // the reply had no first line
    QStringList lines;        // the reply lines of the last transfer that went through
    QString text;             // its whole text
    QString status;           // the status of the last transfer ("HTTP 200", the failure text)
    QString message;          // for a box (form posts) or the message pane (file posts)
};

// Sends the form (values pre-escaped) until a transfer goes through or the wait is stopped, then
// applies the reply rule. An empty reply fails too: every caller reads the first line.
TPostResult PostForm(TUploadTransport& transport, const TServerWait& wait, const QString& path,
                     const TFormFields& fields);
// The same for an image file with its text fields; accepted on the reply "OK" alone.
TPostResult PostFile(TUploadTransport& transport, const TServerWait& wait, const QString& path,
                     const TFormFields& fields, const QString& fileName, const QByteArray& fileBytes);
