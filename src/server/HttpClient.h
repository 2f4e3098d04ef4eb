#pragma once
// The one HTTP client of the program: form posts from an ordered field list, multipart posts,
// GET as text and into a file. Every call blocks its caller until the reply has been read,
// while a local event loop keeps the windows painting (and an Abort from a button works).
// A client belongs to the thread that created it; that thread needs no running event loop.
// HTTP/1.1 of its own over one kept-alive socket without Nagle delay: a request never waits
// for the server's delayed acknowledgement, and thousands of records share one connection.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

class QEventLoop;
class QNetworkCookieJar;
class QTcpSocket;

// Request fields in the order the caller added them. Setting a field a second time replaces
// its value in place; fields with an empty value are left out of the request altogether.
class TFormFields {
public:
    void Set(const QString& name, const QString& value);
    QString Value(const QString& name) const;
    bool Contains(const QString& name) const;
    void Remove(const QString& name);
    void Clear() { m_items.clear(); }
    int Count() const { return int(m_items.size()); }
    const QList<QPair<QString, QString>>& Items() const { return m_items; }

private:
    QList<QPair<QString, QString>> m_items;
};

// "id" and "pw" first, as every request to the server begins.
TFormFields IdentityFields(const QString& id, const QString& pw);

enum class FormEncoding {
    Encoded,    // values percent-encoded here (staff check, lists, keyword definitions)
    PreEscaped  // values already escaped by the caller (upload records); sent unchanged
};

// One value of the encoded form: "!" to "~" pass except * # % < > [ ]; everything else is
// "%XX" per byte of its UTF-8 form.
QByteArray EncodeFormValue(const QString& value);
// name=value pairs joined by "&", empty values left out.
QByteArray BuildFormBody(const TFormFields& fields, FormEncoding encoding);

// Decodes a reply body: the charset of the Content-Type when it names one ICU knows; without
// one, UTF-8 when the bytes are valid UTF-8, else code page 949 (what the service's old
// scripts send).
QString DecodeReplyBody(const QByteArray& body, const QString& contentType);

struct HttpResult {
    bool ok = false;       // connected, status below 400, whole reply read (and file written)
    bool aborted = false;  // Abort() was called
    bool timedOut = false; // the read time-out passed without a byte
    bool sent = false;     // the request went out over a connection (the server may have it)
    int status = 0;        // HTTP status, 0 when no reply came
    QString error;         // why it failed, for logs and the command line
    QString contentType;
    QByteArray body;       // empty for GET into a file
    QString text;          // body decoded (DecodeReplyBody)
    qint64 bytes = 0;      // bytes received

    // The reply split at CR LF, LF or CR.
    QStringList Lines() const;
};

class THttpClient : public QObject {
    Q_OBJECT
public:
    explicit THttpClient(QObject* parent = nullptr);
    ~THttpClient() override;

    // Defaults to ServerBaseURL(); paths are appended to it.
    void SetBaseURL(const QString& baseUrl);
    QString BaseURL() const { return m_base; }
    // `path` is an absolute path under the base URL, or a full http(s) URL.
    QUrl UrlFor(const QString& path) const;

    // 0 switches the read time-out off (the default).
    void SetReadTimeout(int msecs) { m_readTimeout = msecs; }
    int ReadTimeout() const { return m_readTimeout; }
    // Replies longer than this fail instead of filling the memory (text requests only).
    void SetMaxTextReply(qint64 bytes) { m_maxText = bytes; }

    HttpResult PostForm(const QString& path, const TFormFields& fields,
                        FormEncoding encoding = FormEncoding::Encoded);
    // Text fields, then one file part; the file part names `fileName` and carries its own
    // Content-Type.
    HttpResult PostMultipart(const QString& path, const TFormFields& fields,
                             const QString& fileField, const QString& fileName,
                             const QByteArray& fileBytes,
                             const QString& fileContentType = QStringLiteral("application/octet-stream"));
    HttpResult Get(const QString& path);
    // Writes the body into `filePath`; the file is replaced only when the whole body arrived,
    // a failed transfer leaves the previous file (or none) as it was.
    HttpResult GetToFile(const QString& path, const QString& filePath);

    // The multipart body used by PostMultipart, for tests and logs.
    static QByteArray BuildMultipartBody(const TFormFields& fields, const QString& fileField,
                                         const QString& fileName, const QByteArray& fileBytes,
                                         const QString& fileContentType, const QByteArray& boundary);

public slots:
    // Ends the running request; it returns with `aborted`. Safe from another thread.
    void Abort();

signals:
    // The reply's headers arrived: the announced body size, -1 when none was announced.
    void WorkBegin(qint64 announcedSize);
    void Work(qint64 received);
    void WorkEnd();
    void StatusText(const QString& text);

private:
    enum class Sink { Memory, File };
    struct Attempt;
    HttpResult Run(const QString& method, const QString& path, const QByteArray& body,
                   const QByteArray& contentType, Sink sink, const QString& filePath);
    // One request over the kept connection or a new one; fills `a`.
    void Exchange(Attempt& a);
    void DropConnection();

    QNetworkCookieJar* m_cookies = nullptr;
    QString m_base;
    int m_readTimeout = 0;
    qint64 m_maxText = 64 * 1024 * 1024;
    QTcpSocket* m_socket = nullptr; // the connection kept for the next request
    QString m_socketKey;            // scheme://host:port it goes to
    QEventLoop* m_loop = nullptr;   // of the running request
    bool m_busy = false;
    bool m_abortRequested = false;
};
