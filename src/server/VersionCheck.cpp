#include "server/VersionCheck.h"

#include "shell/Runtime.h"
#include "server/HttpClient.h"

#include <QFileInfo>
#include <optional>

static std::optional<QList<qint64>> VersionNumbers(const QString& text)
{
    const QStringList parts = TrimBlanks(text).split('.');
    if (parts.size() != 4)
        return std::nullopt;
    QList<qint64> numbers;
    for (const QString& part : parts) {
        // Digits only: no sign, no blanks; nine digits keep clear of overflow.
        if (part.isEmpty() || part.size() > 9)
            return std::nullopt;
        for (QChar c : part)
            if (c < '0' || c > '9')
                return std::nullopt;
        numbers << part.toLongLong();
    }
    return numbers;
}

bool IsNewerVersion(const QString& published, const QString& program)
{
    const auto pub = VersionNumbers(published);
    const auto own = VersionNumbers(program);
    if (!pub || !own)
        return false;
    for (int i = 0; i < 4; ++i) {
        if ((*pub)[i] < (*own)[i])
            return false;
        if ((*pub)[i] > (*own)[i])
            return true;
    }
    return false;
}

QString FileSizeText(qint64 bytes)
{
    QString digits = QString::number(bytes);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, ',');
    return QStringLiteral("FileSize : ") + digits + QStringLiteral("bytes");
}

QStringList UpdaterArguments(const QString& baseUrl, const QString& programFilePath)
{
    return {baseUrl, QFileInfo(programFilePath).fileName()};
}

QString CheckPublishedVersion(THttpClient& http, const QString& programVersion)
{
    const HttpResult reply = http.Get(VersionFilePath);
    if (!reply.ok)
        return {};
    const QString published = TrimBlanks(reply.text);
    return IsNewerVersion(published, programVersion) ? published : QString();
}
