// The product list reply: any text gives rows of exactly eight fields, and whatever a row holds,
// taking it into the job form either works or leaves the form as it was with a reason.
#include "FuzzSupport.h"
#include "jobs/JobDefinition.h"
#include "jobs/ProductList.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SilenceQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString reply = QString::fromUtf8(FuzzBytes(data, size));
    const ProductReply parsed = ParseProductReply(reply);
    if (parsed.kind != ProductReplyKind::List)
        FUZZ_CHECK(parsed.rows.isEmpty(), "rows from a reply that is not a list");
    int n = 0;
    for (const ProductRow& row : parsed.rows) {
        FUZZ_CHECK(row.size() == ProductColumnCount, "a product row without eight fields");
        if (++n > 16)
            continue;
        ProductHint(row);
        TJobForm form;
        form.workFolder = QStringLiteral("/job");
        const TJobForm before = form;
        const QString problem = ApplyProduct(form, row);
        if (!problem.isEmpty()) {
            FUZZ_CHECK(form.pID == before.pID && form.rows[0].name == before.rows[0].name,
                       "a refused product changed the form");
        } else {
            for (const TJobTabRow& tab : form.rows)
                FUZZ_CHECK(TabNameProblem(tab.name).isEmpty() || tab.name.isEmpty(),
                           "a tab name that cannot name a file was taken");
        }
    }
    if (!parsed.rows.isEmpty()) {
        const QString needle = parsed.rows.first().value(colName).left(2);
        const int found = FindProductRow(parsed.rows, needle, int(parsed.rows.size()) - 1);
        FUZZ_CHECK(needle.isEmpty() ? found == -1 : (found >= 0 && found < parsed.rows.size()), "search out of range");
    }
    return 0;
}
