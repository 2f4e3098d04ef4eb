#include "server/HttpClient.h"

#include "shell/Settings.h"
#include "shell/TextFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTcpSocket>
#include <QTimer>
#ifndef QT_NO_SSL
#include <QSslSocket>
#endif

#include <functional>

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

// ---- reply reader -----------------------------------------------------------------------

namespace {

constexpr qsizetype MaxReplyHead = 64 * 1024;
constexpr qsizetype MaxChunkLine = 4 * 1024;
constexpr int MaxRedirects = 10;
// Up to this size the head and the body go to the socket as one piece; a bigger body is not
// copied once more for that (the socket sends without delay either way).
constexpr qsizetype OneWriteBody = 1024 * 1024;

// One HTTP/1.x reply read off the connection as its bytes come: the head, then the body by
// Content-Length, in chunks, or up to the end of the connection.
class TReplyReader {
public:
    enum class State { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, UntilClose, Done, Failed };

    bool noBody = false; // a reply to HEAD
    std::function<void()> onHead;                        // the final head was read
    std::function<bool(const char*, qsizetype)> onBody;  // false stops the reply

    State state = State::Head;
    QString error;
    int status = 0;
    QByteArray reason;
    bool keepAlive = true;
    qint64 announced = -1;

    bool Finished() const { return state == State::Done || state == State::Failed; }

    QByteArray Header(const QByteArray& lowerName) const
    {
        for (const auto& [name, value] : m_headers)
            if (name == lowerName)
                return value;
        return {};
    }
    QList<QByteArray> Headers(const QByteArray& lowerName) const
    {
        QList<QByteArray> out;
        for (const auto& [name, value] : m_headers)
            if (name == lowerName)
                out << value;
        return out;
    }

    void Feed(const QByteArray& bytes)
    {
        if (Finished()) {
            if (!bytes.isEmpty())
                keepAlive = false; // bytes nobody asked for: the connection is not clean any more
            return;
        }
        m_buf += bytes;
        Process();
        m_buf.remove(0, m_pos);
        m_pos = 0;
    }

    void Closed()
    {
        keepAlive = false;
        if (state == State::UntilClose)
            state = State::Done;
        else if (!Finished())
            Fail(status == 0 && m_buf.isEmpty() ? QStringLiteral("the server closed the connection without a reply")
                                                : QStringLiteral("the connection closed before the whole reply"));
    }

private:
    QByteArray m_buf;
    qsizetype m_pos = 0;
    qint64 m_left = 0;
    QList<QPair<QByteArray, QByteArray>> m_headers;

    void Fail(const QString& why)
    {
        state = State::Failed;
        error = why;
        keepAlive = false;
    }

    // The next line (without its CR LF or LF), or false when it has not fully arrived.
    bool TakeLine(QByteArray& line, qsizetype limit)
    {
        const qsizetype end = m_buf.indexOf('\n', m_pos);
        if (end < 0) {
            if (m_buf.size() - m_pos > limit)
                Fail(QStringLiteral("the reply has a line longer than %1 bytes").arg(limit));
            return false;
        }
        line = m_buf.mid(m_pos, end - m_pos);
        if (line.endsWith('\r'))
            line.chop(1);
        m_pos = end + 1;
        return true;
    }

    // Body bytes of the current part, at most m_left of them.
    bool Deliver()
    {
        const qint64 n = qMin<qint64>(m_left, m_buf.size() - m_pos);
        if (n > 0 && onBody && !onBody(m_buf.constData() + m_pos, qsizetype(n))) {
            Fail(QStringLiteral("stopped"));
            return false;
        }
        m_pos += qsizetype(n);
        m_left -= n;
        return m_left == 0;
    }

    bool ReadHead()
    {
        const qsizetype end = [&] {
            const qsizetype crlf = m_buf.indexOf("\r\n\r\n", m_pos);
            const qsizetype lf = m_buf.indexOf("\n\n", m_pos);
            return crlf < 0 ? (lf < 0 ? -1 : lf + 2) : (lf < 0 || crlf < lf ? crlf + 4 : lf + 2);
        }();
        if (end < 0) {
            if (m_buf.size() - m_pos > MaxReplyHead)
                Fail(QStringLiteral("the reply head is longer than %1 bytes").arg(MaxReplyHead));
            return false;
        }
        const QList<QByteArray> lines = m_buf.mid(m_pos, end - m_pos).split('\n');
        m_pos = end;
        const QByteArray statusLine = lines.value(0).trimmed();
        const QList<QByteArray> parts = statusLine.split(' ');
        bool numeric = false;
        const int code = parts.value(1).toInt(&numeric);
        if (!statusLine.startsWith("HTTP/1.") || !numeric || code < 100 || code > 999) {
            Fail(QStringLiteral("no HTTP reply"));
            return false;
        }
        if (code < 200)
            return true; // 100 Continue and the like: the real head follows
        status = code;
        reason = statusLine.mid(statusLine.indexOf(' ', statusLine.indexOf(' ') + 1) + 1);
        if (parts.size() < 3)
            reason.clear();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                m_headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
        }
        const QByteArray connection = Header("connection").toLower();
        keepAlive = statusLine.startsWith("HTTP/1.1") ? !connection.contains("close") : connection.contains("keep-alive");
        const QByteArray length = Header("content-length");
        if (noBody || status == 204 || status == 304) {
            state = State::Done;
        } else if (Header("transfer-encoding").toLower().contains("chunked")) {
            state = State::ChunkSize;
        } else if (!length.isEmpty()) {
            bool ok = false;
            m_left = length.toLongLong(&ok);
            if (!ok || m_left < 0) {
                Fail(QStringLiteral("the reply announces a length of \"%1\"").arg(QString::fromLatin1(length)));
                return false;
            }
            announced = m_left;
            state = m_left > 0 ? State::Body : State::Done;
        } else {
            state = State::UntilClose;
            keepAlive = false;
        }
        if (onHead)
            onHead();
        return true;
    }

    void Process()
    {
        QByteArray line;
        for (;;) {
            switch (state) {
            case State::Head:
                if (!ReadHead())
                    return;
                break;
            case State::Body:
                if (!Deliver())
                    return;
                state = State::Done;
                break;
            case State::ChunkSize: {
                if (!TakeLine(line, MaxChunkLine))
                    return;
                const qsizetype semicolon = line.indexOf(';');
                bool ok = false;
                m_left = (semicolon < 0 ? line : line.left(semicolon)).trimmed().toLongLong(&ok, 16);
                if (!ok || m_left < 0) {
                    Fail(QStringLiteral("the reply has a bad chunk size"));
                    return;
                }
                state = m_left == 0 ? State::Trailer : State::ChunkData;
                break;
            }
            case State::ChunkData:
                if (!Deliver())
                    return;
                state = State::ChunkEnd;
                break;
            case State::ChunkEnd:
                if (!TakeLine(line, MaxChunkLine))
                    return;
                state = State::ChunkSize;
                break;
            case State::Trailer:
                if (!TakeLine(line, MaxReplyHead))
                    return;
                if (line.isEmpty())
                    state = State::Done;
                break;
            case State::UntilClose:
                m_left = m_buf.size() - m_pos;
                Deliver();
                return;
            case State::Done:
            case State::Failed:
                if (m_pos < m_buf.size())
                    keepAlive = false;
                return;
            }
        }
    }
};

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsHttps(const QUrl& url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

} // namespace

struct THttpClient::Attempt {
    QUrl url;
    QByteArray method;
    QByteArray body;
    QByteArray contentType;
    TReplyReader reader;
    bool reused = false;   // went over the connection of an earlier request
    bool gotBytes = false; // any byte of a reply came
    bool sent = false;     // every byte of the request was handed to the network
    bool timedOut = false;
    QString error;         // of the connection
};

// ---- client -----------------------------------------------------------------------------

THttpClient::THttpClient(QObject* parent)
    : QObject(parent)
    , m_cookies(new QNetworkCookieJar(this))
    , m_base(ServerBaseURL())
{
    // The cookie jar is our own: the server's session lives as long as this client.
}

THttpClient::~THttpClient()
{
    DropConnection();
}

void THttpClient::DropConnection()
{
    if (!m_socket)
        return;
    m_socket->abort();
    // Not inside one of its signals, and a thread without an event loop would never run a
    // deferred delete.
    delete m_socket;
    m_socket = nullptr;
    m_socketKey.clear();
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
            if (m_loop)
                m_loop->quit();
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
    body.reserve(fileBytes.size() + 1024);
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

void THttpClient::Exchange(Attempt& a)
{
    const bool https = IsHttps(a.url);
    const QString host = a.url.host();
    const quint16 port = quint16(a.url.port(https ? 443 : 80));
    const QString key = a.url.scheme().toLower() + QStringLiteral("://") + host + QLatin1Char(':') + QString::number(port);
    // A connection the server closed meanwhile, or one with stray bytes waiting, is not reused.
    if (m_socket && (m_socketKey != key || m_socket->state() != QAbstractSocket::ConnectedState
                     || m_socket->bytesAvailable() > 0))
        DropConnection();
    a.reused = m_socket != nullptr;
    if (!m_socket) {
        if (https) {
#ifndef QT_NO_SSL
            if (QSslSocket::supportsSsl())
                m_socket = new QSslSocket(this);
#endif
            if (!m_socket) {
                a.error = QStringLiteral("HTTPS is not available");
                return;
            }
        } else {
            m_socket = new QTcpSocket(this);
        }
        m_socket->setProxy(QNetworkProxy::NoProxy);
        m_socketKey = key;
    }
    QTcpSocket* socket = m_socket;

    QByteArray target = a.url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    QByteArray request = a.method + ' ' + target + " HTTP/1.1\r\n";
    request += "Host: " + a.url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1() + "\r\n";
    request += "Accept: text/html, */*\r\n";
    request += "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
    // Plain bodies only: a compressed reply announces no size, and the download of the column
    // file judges the server's file by its announced size.
    request += "Accept-Encoding: identity\r\n";
    request += "Connection: keep-alive\r\n";
    QByteArray cookie;
    for (const QNetworkCookie& c : m_cookies->cookiesForUrl(a.url))
        cookie += (cookie.isEmpty() ? "" : "; ") + c.toRawForm(QNetworkCookie::NameAndValueOnly);
    if (!cookie.isEmpty())
        request += "Cookie: " + cookie + "\r\n";
    if (!a.contentType.isEmpty())
        request += "Content-Type: " + a.contentType + "\r\n";
    if (a.method != "GET" || !a.body.isEmpty())
        request += "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n";
    request += "\r\n";
    const qint64 total = request.size() + a.body.size();
    if (a.body.size() <= OneWriteBody)
        request += a.body;

    QEventLoop loop;
    QTimer idle;
    idle.setSingleShot(true);
    qint64 written = 0;
    bool over = false;
    auto finish = [&] {
        over = true;
        loop.quit();
    };
    auto touch = [&] {
        if (m_readTimeout > 0)
            idle.start(m_readTimeout);
    };
    auto read = [&] {
        const QByteArray chunk = socket->readAll();
        a.gotBytes = a.gotBytes || !chunk.isEmpty();
        a.reader.Feed(chunk);
    };
    auto closed = [&] {
        read();
        a.reader.Closed();
        finish();
    };
    auto send = [&] {
        // No Nagle delay: the last piece of a request must not wait for the server's delayed
        // acknowledgement of the first.
        if (!a.reused)
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        touch();
        socket->write(request);
        if (a.body.size() > OneWriteBody)
            socket->write(a.body);
    };
    QList<QMetaObject::Connection> links;
    links << connect(&idle, &QTimer::timeout, &loop, [&] {
        a.timedOut = true;
        finish();
    });
    links << connect(socket, &QAbstractSocket::bytesWritten, &loop, [&](qint64 n) {
        touch();
        written += n;
        a.sent = a.sent || written >= total;
    });
    links << connect(socket, &QIODevice::readyRead, &loop, [&] {
        touch();
        read();
        if (a.reader.Finished())
            finish();
    });
    links << connect(socket, &QAbstractSocket::disconnected, &loop, closed);
    links << connect(socket, &QAbstractSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError)
            return closed();
        a.error = socket->errorString();
        finish();
    });

    if (socket->state() == QAbstractSocket::ConnectedState) {
        send();
    } else {
#ifndef QT_NO_SSL
        if (auto* ssl = qobject_cast<QSslSocket*>(socket)) {
            links << connect(ssl, &QSslSocket::encrypted, &loop, send);
            ssl->connectToHostEncrypted(host, port);
        } else
#endif
        {
            links << connect(socket, &QAbstractSocket::connected, &loop, send);
            socket->connectToHost(host, port);
        }
    }
    touch();
    m_loop = &loop;
    if (!over && !m_abortRequested)
        loop.exec();
    m_loop = nullptr;
    idle.stop();
    for (const QMetaObject::Connection& link : links)
        disconnect(link);
    if (a.reader.state != TReplyReader::State::Done || !a.reader.keepAlive || a.timedOut || m_abortRequested)
        DropConnection();
}

HttpResult THttpClient::Run(const QString& method, const QString& path, const QByteArray& body,
                            const QByteArray& contentType, Sink sink, const QString& filePath)
{
    HttpResult result;
    m_abortRequested = false;
    if (m_busy) {
        // A window called in again while its first request still waits: refuse, never nest.
        result.error = QStringLiteral("another request of this client is still running");
        return result;
    }

    QUrl url = UrlFor(path);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
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

    m_busy = true;
    emit StatusText(QStringLiteral("Connecting to ") + url.host());
    bool tooLong = false;
    bool writeFailed = false;
    bool redirecting = false;
    QByteArray verb = method.toLatin1();
    QByteArray payload = body;
    QByteArray type = contentType;
    Attempt a;
    for (int hop = 0;; ++hop) {
        for (int round = 0; round < 2; ++round) {
            a = Attempt();
            a.url = url;
            a.method = verb;
            a.body = payload;
            a.contentType = type;
            a.reader.noBody = verb == "HEAD";
            a.reader.onHead = [&] {
                redirecting = IsRedirect(a.reader.status) && hop < MaxRedirects && !a.reader.Header("location").isEmpty();
                if (!redirecting)
                    emit WorkBegin(a.reader.announced);
            };
            a.reader.onBody = [&](const char* data, qsizetype n) {
                if (redirecting)
                    return true;
                result.bytes += n;
                if (sink == Sink::File) {
                    if (file.write(data, n) != n) {
                        writeFailed = true;
                        return false;
                    }
                } else {
                    if (result.body.size() + n > m_maxText) {
                        tooLong = true;
                        return false;
                    }
                    result.body.append(data, n);
                }
                emit Work(result.bytes);
                return true;
            };
            Exchange(a);
            result.sent = result.sent || a.sent;
            // A kept connection the server had closed meanwhile: the request never reached it,
            // so it goes once more over a new one.
            const bool stale = a.reused && !a.gotBytes && !a.timedOut && !m_abortRequested
                               && a.reader.state != TReplyReader::State::Done;
            if (!stale)
                break;
        }
        for (const QByteArray& setCookie : a.reader.Headers("set-cookie"))
            m_cookies->setCookiesFromUrl(QNetworkCookie::parseCookies(setCookie), url);
        if (!redirecting || a.reader.state != TReplyReader::State::Done || m_abortRequested)
            break;
        const QUrl next = url.resolved(QUrl::fromEncoded(a.reader.Header("location")));
        // Never from an encrypted address to a plain one, never to another scheme.
        if (!next.isValid() || next.host().isEmpty() || (IsHttps(url) && !IsHttps(next))
            || (next.scheme().toLower() != QLatin1String("http") && !IsHttps(next))) {
            redirecting = false;
            break;
        }
        const int status = a.reader.status;
        if (status == 303 || ((status == 301 || status == 302) && verb == "POST")) {
            verb = "GET";
            payload.clear();
            type.clear();
        }
        url = next;
        redirecting = false;
    }
    m_busy = false;

    const TReplyReader& reply = a.reader;
    result.status = reply.status;
    result.sent = result.sent || result.status > 0;
    result.contentType = QString::fromLatin1(reply.Header("content-type"));
    if (tooLong) {
        result.error = QStringLiteral("the reply is longer than %1 bytes").arg(m_maxText);
    } else if (writeFailed) {
        result.error = QStringLiteral("cannot write ") + filePath + ": " + file.errorString();
    } else if (a.timedOut) {
        result.timedOut = true;
        result.error = QStringLiteral("no data from the server for %1 ms").arg(m_readTimeout);
    } else if (m_abortRequested) {
        result.aborted = true;
        result.error = QStringLiteral("stopped");
    } else if (result.status >= 400) {
        result.error = QStringLiteral("HTTP %1 %2").arg(result.status).arg(QString::fromLatin1(reply.reason)).trimmed();
    } else if (!a.error.isEmpty()) {
        result.error = a.error;
    } else if (reply.state != TReplyReader::State::Done) {
        result.error = reply.error.isEmpty() ? QStringLiteral("no HTTP reply") : reply.error;
    } else if (result.status == 0 || redirecting) {
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
