#include "server/VersionCheck.h"

QString CheckPublishedVersion(const QString& baseUrl, const QString& programVersion)
{
    Q_UNUSED(baseUrl);
    Q_UNUSED(programVersion);
    return {};
}
