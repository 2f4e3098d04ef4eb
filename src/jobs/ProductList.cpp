#include "jobs/ProductList.h"

#include "shell/Interaction.h"
#include "shell/Runtime.h"
#include "shell/TextFile.h"

ProductReply ParseProductReply(const QString& reply)
{
    ProductReply out;
    if (reply == QStringLiteral("오류")) {
        out.kind = ProductReplyKind::Refused;
        return out;
    }
    const QStringList lines = SplitLines(reply);
    if (lines.isEmpty() || lines.first() != QStringLiteral("OK"))
        return out;
    out.kind = ProductReplyKind::List;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i] == QStringLiteral("end"))
            break;
        QStringList fields = SplitFields(lines[i], QStringLiteral("^"));
        // Shorter lines are leftovers of the server's own records, not products.
        if (fields.size() <= 6)
            continue;
        fields = fields.mid(0, ProductColumnCount);
        while (fields.size() < ProductColumnCount)
            fields << QString();
        out.rows << fields;
    }
    return out;
}

ProductFetch FetchAssignedProducts(const QString& id, const QString& pw, const FormPostFn& post,
                                   QList<ProductRow>& rows, Interaction& ui)
{
    rows.clear();
    if (id.isEmpty()) {
        ui.ShowInfo(ProductsLoginFirstMessage);
        return ProductFetch::NotLoggedIn;
    }
    QString reply, error;
    if (!post || !post(JobsGetMyPath, {{QStringLiteral("id"), id}, {QStringLiteral("pw"), pw}}, reply, error)) {
        ui.ShowInfo(ProductsNoServerMessage);
        return ProductFetch::Failed;
    }
    ProductReply parsed = ParseProductReply(reply);
    if (parsed.kind == ProductReplyKind::Refused) {
        ui.ShowInfo(ProductsRefusedMessage);
        return ProductFetch::Refused;
    }
    rows = std::move(parsed.rows);
    return ProductFetch::Ok;
}

QString ProductHint(const ProductRow& row)
{
    if (row.size() < ProductColumnCount || row[colName].isEmpty())
        return {};
    return row[colName] + " | " + row[colTabs] + " | " + row[colLinks];
}

int FindProductRow(const QList<ProductRow>& rows, const QString& text, int selected)
{
    if (text.isEmpty() || rows.isEmpty())
        return -1;
    auto matches = [&](int r) { return !rows[r].isEmpty() && rows[r][colName].contains(text); };
    for (int r = qMax(selected + 1, 0); r < rows.size(); ++r)
        if (matches(r))
            return r;
    for (int r = 0; r <= selected && r < rows.size(); ++r)
        if (matches(r))
            return r;
    return -1;
}
