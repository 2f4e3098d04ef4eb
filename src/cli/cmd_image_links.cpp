// quilo image-links JOBDIR --tab TAB [--set NODE=START,END]... [--clear NODE]...: the source
// image links of a tab, changed, checked and saved as the linking window does.

#include "articles/ArticleIndex.h"
#include "cli/Commands.h"
#include "jobs/JobDefine.h"
#include "jobs/JobLayout.h"
#include "shell/Interaction.h"
#include "tagging/ImageLinks.h"


namespace {

// A node number of the tree, or -1.
int NodeNumber(const QString& text, int count)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 0 && n < count ? n : -1;
}

} // namespace

static int RunImageLinks(const QStringList& args)
{
    const QString usage = QStringLiteral("usage: quilo image-links JOBDIR --tab TAB [--set NODE=START,END]... [--clear NODE]...");
    const ParsedArgs p = ParseArgs(args, {QStringLiteral("tab"), QStringLiteral("set"), QStringLiteral("clear")});
    if (!p.ok())
        return UsageError(p.error);
    if (p.positional.size() != 1 || !p.has(QStringLiteral("tab")))
        return UsageError(usage);
    // The form of every change is checked before anything is read.
    for (const auto& [name, value] : p.options) {
        if (name == QLatin1String("set")) {
            const int eq = value.indexOf('=');
            if (eq <= 0 || value.mid(eq + 1).count(',') != 1)
                return UsageError(QStringLiteral("--set takes NODE=START,END, not \"%1\"").arg(value));
        }
    }

    TJobDefine job;
    ConsoleInteraction ui;
    TArticleTree tree;
    const int tab = OpenArticleJobTree(p.positional[0], p.value(QStringLiteral("tab")), job, tree, ui);
    if (tab < 0)
        return 1;
    const QString path = ImageLinkFileName(job, tab);
    TImageLinks rows;
    const TLinkFileRead read = ReadImageLinks(path, tree.count(), rows);
    if (!read.ok) {
        Err(path + QStringLiteral(": ") + read.error);
        return 1;
    }
    const QStringList images = ListSourceImages(job.WorkFolder);

    bool changes = false;
    for (const auto& [name, value] : p.options) {
        if (name == QLatin1String("clear")) {
            const int node = NodeNumber(value, tree.count());
            if (node < 0) {
                Err(QStringLiteral("%1: 목차에 없는 번호입니다.").arg(value));
                return 1;
            }
            rows[size_t(node)] = {};
            changes = true;
        } else if (name == QLatin1String("set")) {
            const int eq = value.indexOf('=');
            const int node = NodeNumber(value.left(eq), tree.count());
            if (node < 0) {
                Err(QStringLiteral("%1: 목차에 없는 번호입니다.").arg(value.left(eq)));
                return 1;
            }
            const QStringList pair = value.mid(eq + 1).split(',');
            for (const QString& image : pair) {
                if (!image.isEmpty() && image != NoImage && !images.contains(image)) {
                    Err(QStringLiteral("%1: 원문 이미지 폴더에 없는 파일입니다.").arg(image));
                    return 1;
                }
            }
            rows[size_t(node)] = {pair[0], pair[1]};
            changes = true;
        }
    }

    if (changes) {
        const int failing = CheckImageLinks(rows);
        if (failing >= 0) {
            Err(ImageOrderMessage);
            Err(QStringLiteral("%1\t%2").arg(failing).arg(tree.node(failing).title));
            return 1;
        }
        QString error;
        if (!WriteLinkFile(path, ImageLinkLines(rows), &error)) {
            Err(error);
            return 1;
        }
        Err(ImageLinksSavedMessage);
        Err(path);
    }

    const QStringList lines = ImageLinkLines(rows);
    for (int i = 0; i < tree.count(); ++i)
        Out(QStringLiteral("%1\t%2\t%3\t%4").arg(i).arg(lines[2 * i], lines[2 * i + 1], tree.node(i).title));
    Out(QStringLiteral("unused:"));
    for (const QString& name : UnusedImages(images, rows))
        Out(name);
    return 0;
}

static CommandRegistrar reg({QStringLiteral("image-links"),
                             QStringLiteral("JOBDIR --tab TAB [--set NODE=START,END]... [--clear NODE]..."),
                             QStringLiteral("source image links of a tab (node, start, end, title), then the unused "
                                            "images; changes are checked and saved"),
                             RunImageLinks});
