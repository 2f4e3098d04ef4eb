#include "jobs/ProductList.h"

#include "server/HttpClient.h"

#include <memory>

static bool Post(THttpClient& http, const QString& path, const QList<QPair<QString, QString>>& fields,
                 QString& reply, QString& error)
{
    TFormFields form;
    for (const auto& f : fields)
        form.Set(f.first, f.second);
    const HttpResult r = http.PostForm(path, form);
    reply = r.text;
    error = r.error;
    return r.ok;
}

FormPostFn ServerFormPost(THttpClient* http)
{
    return [http](const QString& path, const QList<QPair<QString, QString>>& fields, QString& reply,
                  QString& error) { return Post(*http, path, fields, reply, error); };
}

FormPostFn ServerFormPost(const QString& baseUrl)
{
    // One client for all requests of the caller, so the server's cookies stay with it.
    auto http = std::make_shared<THttpClient>();
    http->SetBaseURL(baseUrl);
    return [http](const QString& path, const QList<QPair<QString, QString>>& fields, QString& reply,
                  QString& error) { return Post(*http, path, fields, reply, error); };
}
