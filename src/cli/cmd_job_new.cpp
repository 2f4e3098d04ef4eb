// quilo job new: defines a job for one of the assigned products, as the job window does.

#include "cli/JobCommands.h"
#include "jobs/JobDefinition.h"
#include "shell/Interaction.h"
#include "shell/myLIB.h"

#include <QDir>
#include <QFileInfo>

int RunJobNew(const QStringList& args)
{
    const QString usage =
        QStringLiteral("usage: quilo job new JOBDIR --product PID [--src TAB=FOLDER]... [--id ID] [--pw PASSWORD] "
                       "[--server URL]");
    const ParsedArgs p = ParseArgs(args, ServerOptions + QStringList{"product", "src"});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1 || p.value("product").isEmpty())
        return UsageError(usage);

    // Source folders are checked before the server is asked: a typo costs no request.
    struct Source {
        QString tab;
        QString folder;
    };
    QList<Source> sources;
    for (const QString& s : p.values("src")) {
        const int eq = s.indexOf('=');
        if (eq <= 0 || eq == s.size() - 1)
            return UsageError(QStringLiteral("--src needs TAB=FOLDER: %1").arg(s));
        sources.append({s.left(eq), s.mid(eq + 1)});
    }

    QList<ProductRow> rows;
    if (const int status = FetchProductsForCommand(p, rows); status != 0)
        return status;
    const QString pid = p.value("product");
    const ProductRow* product = nullptr;
    for (const ProductRow& row : rows)
        if (row.value(colID) == pid)
            product = &row;
    if (!product) {
        Err(QStringLiteral("제품 ID %1은(는) 배정된 제품 목록에 없습니다.").arg(pid));
        return 1;
    }

    ConsoleInteraction ui;
    TJobForm form = JobFormFromJob(TJobDefine{});
    if (const QString problem = ApplyProduct(form, *product); !problem.isEmpty()) {
        Err(problem);
        return 1;
    }

    const QString folder = QDir::cleanPath(QFileInfo(p.positional[0]).absoluteFilePath());
    if (!QDir().mkpath(folder)) {
        Err(QStringLiteral("작업 폴더를 만들 수 없습니다.\r\n%1").arg(folder));
        return 1;
    }
    ApplyJobFolder(form, folder, ui);

    for (const Source& s : sources) {
        TJobTabRow* row = nullptr;
        for (TJobTabRow& r : form.rows)
            if (!r.name.isEmpty() && r.name == s.tab)
                row = &r;
        if (!row) {
            Err(QStringLiteral("탭 \"%1\"은(는) 이 작업에 없습니다.").arg(s.tab));
            return 1;
        }
        const QString chosen = QDir::isAbsolutePath(s.folder) ? s.folder : QDir(folder).filePath(s.folder);
        if (!QFileInfo(chosen).isDir()) {
            Err(QStringLiteral("폴더가 없습니다.\r\n%1").arg(chosen));
            return 1;
        }
        QString problem;
        const QString relative = RelativeSourceFolder(folder, chosen, &problem);
        if (relative.isEmpty()) {
            Err(problem);
            return 1;
        }
        row->folder = relative;
    }

    if (!SaveJobForm(form, myLIB.Jobs, ui))
        return 1;
    PrintJob(myLIB.Jobs);
    return 0;
}
