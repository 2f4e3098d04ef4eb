#include "jobs/ProductList.h"

FormPostFn ServerFormPost(const QString& baseUrl)
{
    Q_UNUSED(baseUrl);
    return [](const QString&, const QList<QPair<QString, QString>>&, QString&, QString& error) {
        error = QStringLiteral("no HTTP client");
        return false;
    };
}
