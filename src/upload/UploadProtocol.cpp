#include "upload/UploadProtocol.h"

#include "shell/Runtime.h"

namespace {

const char HexDigits[] = "0123456789ABCDEF";

// Sends until a transfer goes through; false when the operator stopped the wait.
template <typename Send>
bool SendUntilThrough(const TServerWait& wait, Send send, HttpResult& result)
{
    for (;;) {
        result = send();
        if (result.ok)
            return true;
        if (!wait || !wait(result))
            return false;
    }
}

} // namespace

QString TransferStatusText(const HttpResult& r)
{
    if (r.ok || r.status > 0)
        return QStringLiteral("HTTP %1").arg(r.status);
    return r.error;
}

QString EscapeForUpload(const QString& text)
{
    QString out;
    out.reserve(text.size() * 3);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'/' || (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z')) {
            out += c;
        } else if (u < 0x80) {
            out += QLatin1Char('%');
            out += QLatin1Char(HexDigits[u >> 4]);
            out += QLatin1Char(HexDigits[u & 0xF]);
        } else {
            // QString iterates UTF-16 code units, so a surrogate pair comes out as two "%u" units.
            out += QLatin1String("%u");
            for (int shift = 12; shift >= 0; shift -= 4)
                out += QLatin1Char(HexDigits[(u >> shift) & 0xF]);
        }
    }
    return out;
}

QByteArray UploadFormBody(const TFormFields& fields)
{
    return BuildFormBody(fields, FormEncoding::PreEscaped);
}

bool IsFormReplyRefused(const QString& firstLine)
{
    return firstLine.contains(QStringLiteral("오류")) || firstLine.contains(QLatin1String("ERROR"));
}

QString FormReplyErrorMessage(const QString& firstLine)
{
    return QStringLiteral("데이터 전송 오류입니다...\r\n수신 = ") + firstLine;
}

bool IsFileReplyAccepted(const QString& reply)
{
    return TrimBlanks(reply) == QLatin1String("OK");
}

QString FileReplyErrorReport(const QString& reply)
{
    return QStringLiteral("이미지 전송 오류입니다.... 오류 코드 = ") + reply;
}

HttpResult THttpUploadTransport::SendForm(const QString& path, const TFormFields& fields)
{
    return m_forms.PostForm(path, fields, FormEncoding::PreEscaped);
}

HttpResult THttpUploadTransport::SendFile(const QString& path, const TFormFields& fields,
                                          const QString& fileName, const QByteArray& fileBytes)
{
    return m_files.PostMultipart(path, fields, QStringLiteral("file"), fileName, fileBytes, UploadFilePartType);
}

TPostResult PostForm(TUploadTransport& transport, const TServerWait& wait, const QString& path,
                     const TFormFields& fields)
{
    TPostResult out;
    HttpResult r;
    const bool through = SendUntilThrough(wait, [&] { return transport.SendForm(path, fields); }, r);
    out.status = TransferStatusText(r);
    if (!through) {
        out.stopped = true;
        return out;
    }
    out.text = r.text;
    out.lines = r.Lines();
    if (out.lines.isEmpty()) {
        out.emptyReply = true;
        out.message = FormReplyErrorMessage(QString());
        return out;
    }
    if (IsFormReplyRefused(out.lines.first())) {
        out.message = FormReplyErrorMessage(out.lines.first());
        return out;
    }
    out.ok = true;
    return out;
}

TPostResult PostFile(TUploadTransport& transport, const TServerWait& wait, const QString& path,
                     const TFormFields& fields, const QString& fileName, const QByteArray& fileBytes)
{
    TPostResult out;
    HttpResult r;
    const bool through =
        SendUntilThrough(wait, [&] { return transport.SendFile(path, fields, fileName, fileBytes); }, r);
    out.status = TransferStatusText(r);
    if (!through) {
        out.stopped = true;
        return out;
    }
    out.text = r.text;
    out.lines = r.Lines();
    if (!IsFileReplyAccepted(r.text)) {
        out.message = FileReplyErrorReport(r.text);
        return out;
    }
    out.ok = true;
    return out;
}
