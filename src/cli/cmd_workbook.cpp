// quilo workbook FILE [--sheet NAME] [--merged]: the used range of a workbook's sheets as text.

#include "cli/Commands.h"
#include "indexing/Workbook.h"
#include "indexing/WorkbookResults.h"

static int RunWorkbook(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("sheet")}, {QStringLiteral("merged")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1)
        return UsageError(QStringLiteral("usage: quilo workbook FILE [--sheet NAME] [--merged]"));
    TWorkbookReader reader;
    QString error;
    if (!reader.Open(p.positional[0], &error)) {
        Err(MsgWorkbookUnreadable(p.positional[0], error));
        return 1;
    }
    const QStringList names = p.has(QStringLiteral("sheet")) ? p.values(QStringLiteral("sheet")) : reader.SheetNames();
    for (const QString& name : names) {
        TSheetRows rows;
        if (!reader.ReadSheet(name, rows, &error)) {
            Err(MsgWorkbookUnreadable(p.positional[0], error));
            return 1;
        }
        // As the result grid shows it: continuation rows merged, empty columns gone.
        if (p.has(QStringLiteral("merged")))
            rows = RemoveEmptyColumns(MergeContinuationRows(rows));
        Out(QStringLiteral("== ") + name);
        for (const QStringList& row : rows)
            Out(row.join(QLatin1Char('\t')));
    }
    return 0;
}

static CommandRegistrar reg({QStringLiteral("workbook"), QStringLiteral("FILE [--sheet NAME]... [--merged]"),
                             QStringLiteral("print the used range of a workbook's sheets, cells separated by TAB"),
                             RunWorkbook});
