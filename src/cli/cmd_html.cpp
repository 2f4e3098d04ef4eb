// quilo html JOBDIR --tab NAME --id ID [--upload]: an article converted to HTML lines.

#include "articles/ArticleHtml.h"
#include "articles/ArticleIndex.h"
#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "shell/Interaction.h"

static int RunHtml(const QStringList& args)
{
    const ParsedArgs p = ParseArgs(args, {"tab", "id"}, {"upload"});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1 || !p.has("tab") || !p.has("id"))
        return UsageError(QStringLiteral("usage: quilo html JOBDIR --tab NAME --id ID [--upload]"));
    TJobDefine job;
    const int tab = OpenArticleJobTab(p.positional[0], p.value("tab"), job);
    if (tab < 0)
        return 1;
    ConsoleInteraction ui;
    TArticleNode node;
    node.info.id = p.value("id");
    const QString path = ArticleFileName(job, tab, &node);
    if (path.isEmpty()) {
        Err(QStringLiteral("기사 ID [%1]은(는) 파일 이름에 쓸 수 없습니다.").arg(node.info.id));
        return 1;
    }
    QStringList lines;
    if (!LoadArticleText(lines, path, ui))
        return 1;
    QStringList html;
    // Footnote faults are reported on stderr; the lines are converted all the same.
    ArticleToHtml(html, lines, p.has("upload") ? HtmlUploadMode : HtmlPreviewMode, ui);
    for (const QString& l : html)
        Out(l);
    return 0;
}

static CommandRegistrar reg({QStringLiteral("html"), QStringLiteral("JOBDIR --tab NAME --id ID [--upload]"),
                             QStringLiteral("print an article converted to HTML lines (preview or upload form)"),
                             RunHtml});
