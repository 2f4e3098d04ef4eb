// The reply decoding and the staff check and list replies of the login: the field splitting never yields an empty field
// or loses a character that is not a separator, and a list's data lies between "OK" and its last line.
#include "FuzzSupport.h"
#include "server/HttpClient.h"
#include "server/Login.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    return 0;
}

static QString WithoutSeparators(QString s, const QString& seps)
{
    QString out;
    for (QChar c : s)
        if (!seps.contains(c) && c != '\r' && c != '\n')
            out += c;
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reply body as the client decodes it; the first line of the input stands for the
    // Content-Type header (charset names are the server's to choose).
    const QByteArray bytes = FuzzBytes(data, size);
    const qsizetype nl = bytes.indexOf('\n');
    const QString contentType = nl < 0 ? QString() : QString::fromLatin1(bytes.left(qMin<qsizetype>(nl, 80)));
    const QString reply = DecodeReplyBody(nl < 0 ? bytes : bytes.mid(nl + 1), contentType);
    const QString seps = QStringLiteral("|");
    const QStringList fields = SplitFields(reply, seps);
    for (const QString& f : fields)
        FUZZ_CHECK(!f.isEmpty(), "an empty field");
    // Outside quotes the separators go; inside they stay. Either way no other character is lost.
    FUZZ_CHECK(WithoutSeparators(fields.join(QString()), seps) == WithoutSeparators(reply, seps),
               "field splitting loses characters");

    const QStringList lines = SplitLines(reply);
    QStringList listData;
    if (ListReplyData(lines, listData)) {
        FUZZ_CHECK(lines.first() == QStringLiteral("OK"), "a list without OK");
        FUZZ_CHECK(listData.size() == lines.size() - 2, "list data is not the lines between");
    } else {
        FUZZ_CHECK(listData.isEmpty(), "data from a reply that is not a list");
    }
    return 0;
}
