#include "server/HttpClient.h"

#include "shell/Settings.h"
#include "shell/TextFile.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTimer>

// ---- field list -------------------------------------------------------------------------

void TFormFields::Set(const QString& name, const QString& value)
{
    for (auto& item : m_items) {
        if (item.first == name) {
            item.second = value;
            return;
        }
    }
    m_items.append({name, value});
}

QString TFormFields::Value(const QString& name) const
{
    for (const auto& item : m_items)
        if (item.first == name)
            return item.second;
    return {};
}

bool TFormFields::Contains(const QString& name) const
{
    for (const auto& item : m_items)
        if (item.first == name)
            return true;
    return false;
}

void TFormFields::Remove(const QString& name)
{
    m_items.removeIf([&](const QPair<QString, QString>& item) { return item.first == name; });
}

TFormFields IdentityFields(const QString& id, const QString& pw)
{
    TFormFields f;
    f.Set(QStringLiteral("id"), id);
    f.Set(QStringLiteral("pw"), pw);
    return f;
}

// ---- encodings --------------------------------------------------------------------------

QByteArray EncodeFormValue(const QString& value)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = value.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() * 3);
    for (char c : utf8) {
        const unsigned char b = static_cast<unsigned char>(c);
        // DEL is a control character and every byte from 0x80 belongs to a multi-byte
        // character; both go out escaped so that the server decodes them the same way.
        const bool plain = b >= 0x21 && b < 0x7F && b != '*' && b != '#' && b != '%' && b != '<'
                           && b != '>' && b != '[' && b != ']';
        if (plain) {
            out.append(c);
        } else {
            out.append('%');
            out.append(hex[b >> 4]);
            out.append(hex[b & 0x0F]);
        }
    }
    return out;
}

QByteArray BuildFormBody(const TFormFields& fields, FormEncoding encoding)
{
    QByteArray body;
    for (const auto& item : fields.Items()) {
        if (item.second.isEmpty())
            continue;
        if (!body.isEmpty())
            body.append('&');
        body.append(item.first.toUtf8());
        body.append('=');
        body.append(encoding == FormEncoding::Encoded ? EncodeFormValue(item.second)
                                                      : item.second.toUtf8());
    }
    return body;
}

static QString CharsetOf(const QString& contentType)
{
    const QStringList parts = contentType.split(';');
    for (int i = 1; i < parts.size(); ++i) {
        const QString p = parts[i].trimmed();
        if (p.startsWith(QLatin1String("charset="), Qt::CaseInsensitive)) {
            QString cs = p.mid(8).trimmed();
            if (cs.size() >= 2 && (cs.startsWith('"') || cs.startsWith('\'')) && cs.endsWith(cs[0]))
                cs = cs.mid(1, cs.size() - 2);
            return cs;
        }
    }
    return {};
}

QString DecodeReplyBody(const QByteArray& body, const QString& contentType)
{
    const QString charset = CharsetOf(contentType);
    if (!charset.isEmpty()) {
        bool known = false;
        const QString text = DecodeCharset(body, charset, &known);
        if (known)
            return text;
    }
    QByteArray b = body;
    if (b.startsWith("\xEF\xBB\xBF"))
        b.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(b);
    if (!utf8.hasError())
        return text;
    return DecodeCp949(body);
}

QStringList HttpResult::Lines() const
{
    return SplitLines(text);
}

// ---- client -----------------------------------------------------------------------------

THttpClient::THttpClient(QObject* parent)
    : QObject(parent)
    , m_nam(new QNetworkAccessManager(this))
    , m_base(ServerBaseURL())
{
    m_nam->setProxy(QNetworkProxy::NoProxy);
    // A cookie jar of our own: the server's session lives as long as this client.
    m_nam->setCookieJar(new QNetworkCookieJar(m_nam));
}

THttpClient::~THttpClient()
{
    if (m_reply)
        m_reply->abort();
}

void THttpClient::SetBaseURL(const QString& baseUrl)
{
    m_base = baseUrl;
    while (m_base.endsWith('/'))
        m_base.chop(1);
}

QUrl THttpClient::UrlFor(const QString& path) const
{
    if (path.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || path.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return QUrl(path);
    return QUrl(m_base + (path.startsWith('/') ? path : '/' + path));
}

void THttpClient::Abort()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_abortRequested = true;
            if (m_reply)
                m_reply->abort();
        },
        Qt::QueuedConnection);
}

HttpResult THttpClient::PostForm(const QString& path, const TFormFields& fields, FormEncoding encoding)
{
    return Run(QStringLiteral("POST"), path, BuildFormBody(fields, encoding),
               "application/x-www-form-urlencoded", Sink::Memory, {});
}

QByteArray THttpClient::BuildMultipartBody(const TFormFields& fields, const QString& fileField,
                                           const QString& fileName, const QByteArray& fileBytes,
                                           const QString& fileContentType, const QByteArray& boundary)
{
    // Quotes and line breaks would end the header early; names never need them.
    auto quoted = [](const QString& s) {
        QByteArray b = s.toUtf8();
        b.replace('"', "%22");
        b.replace('\r', "%0D");
        b.replace('\n', "%0A");
        return b;
    };
    QByteArray body;
    for (const auto& item : fields.Items()) {
        if (item.second.isEmpty())
            continue;
        body += "--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + quoted(item.first) + "\"\r\n\r\n";
        body += item.second.toUtf8() + "\r\n";
    }
    body += "--" + boundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"" + quoted(fileField) + "\"; filename=\""
            + quoted(fileName) + "\"\r\n";
    body += "Content-Type: " + fileContentType.toLatin1() + "\r\n\r\n";
    body += fileBytes;
    body += "\r\n--" + boundary + "--\r\n";
    return body;
}

HttpResult THttpClient::PostMultipart(const QString& path, const TFormFields& fields,
                                      const QString& fileField, const QString& fileName,
                                      const QByteArray& fileBytes, const QString& fileContentType)
{
    QByteArray boundary;
    // A boundary that cannot occur in the file: regenerate on the (unlikely) collision.
    do {
        boundary = "----QuiloBoundary"
                   + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    } while (fileBytes.contains(boundary));
    const QByteArray body = BuildMultipartBody(fields, fileField, fileName, fileBytes,
                                               fileContentType, boundary);
    return Run(QStringLiteral("POST"), path, body, "multipart/form-data; boundary=" + boundary,
               Sink::Memory, {});
}

HttpResult THttpClient::Get(const QString& path)
{
    return Run(QStringLiteral("GET"), path, {}, {}, Sink::Memory, {});
}

HttpResult THttpClient::GetToFile(const QString& path, const QString& filePath)
{
    return Run(QStringLiteral("GET"), path, {}, {}, Sink::File, filePath);
}

HttpResult THttpClient::Run(const QString& method, const QString& path, const QByteArray& body,
                            const QByteArray& contentType, Sink sink, const QString& filePath)
{
    HttpResult result;
    m_abortRequested = false;
    if (m_reply) {
        // A window called in again while its first request still waits: refuse, never nest.
        result.error = QStringLiteral("another request of this client is still running");
        return result;
    }

    const QUrl url = UrlFor(path);
    if (!url.isValid() || url.host().isEmpty()) {
        result.error = QStringLiteral("bad server address: ") + url.toString();
        return result;
    }

    QSaveFile file;
    if (sink == Sink::File) {
        QDir().mkpath(QFileInfo(filePath).absolutePath());
        file.setFileName(filePath);
        if (!file.open(QIODevice::WriteOnly)) {
            result.error = QStringLiteral("cannot write ") + filePath + ": " + file.errorString();
            return result;
        }
    }

    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setRawHeader("User-Agent", "Mozilla/3.0 (compatible; Indy Library)");
    // Plain bodies only: a compressed reply announces no size, and the download of the column
    // file judges the server's file by its announced size.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    if (!contentType.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);

    emit StatusText(QStringLiteral("Connecting to ") + url.host());
    QNetworkReply* reply = method == QLatin1String("GET")
                               ? m_nam->get(request)
                               : m_nam->sendCustomRequest(request, method.toLatin1(), body);
    m_reply = reply;

    QEventLoop loop;
    QTimer idle;
    idle.setSingleShot(true);
    bool begun = false;
    bool tooLong = false;
    bool writeFailed = false;
    bool timedOut = false;

    auto touch = [&] {
        if (m_readTimeout > 0)
            idle.start(m_readTimeout);
    };
    connect(&idle, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        touch();
        if (begun)
            return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 300 && status < 400)
            return; // a redirect; the real reply follows
        begun = true;
        const QVariant len = reply->header(QNetworkRequest::ContentLengthHeader);
        emit WorkBegin(len.isValid() ? len.toLongLong() : -1);
    });
    connect(reply, &QNetworkReply::requestSent, reply, [&] { result.sent = true; });
    connect(reply, &QNetworkReply::uploadProgress, reply, [&](qint64, qint64) { touch(); });
    connect(reply, &QNetworkReply::readyRead, reply, [&] {
        touch();
        const QByteArray chunk = reply->readAll();
        result.bytes += chunk.size();
        if (sink == Sink::File) {
            if (!writeFailed && file.write(chunk) != chunk.size()) {
                writeFailed = true;
                reply->abort();
            }
        } else {
            if (result.body.size() + chunk.size() > m_maxText) {
                tooLong = true;
                reply->abort();
                return;
            }
            result.body.append(chunk);
        }
        emit Work(result.bytes);
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    touch();
    if (!reply->isFinished())
        loop.exec();

    // Whatever is still buffered when the reply finished.
    if (reply->bytesAvailable() > 0 && !tooLong && !writeFailed) {
        const QByteArray rest = reply->readAll();
        result.bytes += rest.size();
        if (sink == Sink::File)
            writeFailed = file.write(rest) != rest.size();
        else
            result.body.append(rest);
    }
    idle.stop();

    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.sent = result.sent || result.status > 0;
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    const QNetworkReply::NetworkError err = reply->error();
    const QString errText = reply->errorString();
    m_reply = nullptr;
    // Not inside one of its own signals any more, and a thread without an event loop would
    // never run a deferred delete.
    delete reply;

    if (tooLong) {
        result.error = QStringLiteral("the reply is longer than %1 bytes").arg(m_maxText);
    } else if (writeFailed) {
        result.error = QStringLiteral("cannot write ") + filePath + ": " + file.errorString();
    } else if (timedOut) {
        result.timedOut = true;
        result.error = QStringLiteral("no data from the server for %1 ms").arg(m_readTimeout);
    } else if (m_abortRequested) {
        result.aborted = true;
        result.error = QStringLiteral("stopped");
    } else if (result.status >= 400) {
        result.error = QStringLiteral("HTTP %1 %2").arg(result.status).arg(reason).trimmed();
    } else if (err != QNetworkReply::NoError) {
        result.error = errText;
    } else if (result.status == 0) {
        result.error = QStringLiteral("no HTTP reply");
    } else {
        result.ok = true;
    }
    m_abortRequested = false;

    if (sink == Sink::File) {
        // The buffered rest must reach the disk before the rename: commit alone did not report
        // a full disk and left an empty file under the name.
        if (result.ok && (!file.flush() || file.error() != QFileDevice::NoError || !file.commit())) {
            result.ok = false;
            result.error = QStringLiteral("cannot write ") + filePath + ": " + file.errorString();
        }
        if (!result.ok)
            file.cancelWriting();
    } else {
        result.text = DecodeReplyBody(result.body, result.contentType);
    }
    emit WorkEnd();
    emit StatusText(result.ok ? QStringLiteral("Done") : result.error);
    return result;
}
