#include "articles/ui/Preview.h"

#include "articles/ArticleHtml.h"
#include "articles/ArticleIndex.h"
#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/ProgressInteraction.h"
#include "articles/ui/fWeb.h"
#include "shell/myLIB.h"

#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

// Writes the page of `articleLines` and shows it; false (after a message) when it cannot be written.
bool ShowPage(const QStringList& articleLines, TArticleTreeWidget* tree, TfWeb* view, Interaction& ui,
              QStringList* page = nullptr)
{
    QStringList body;
    ArticleToHtml(body, articleLines, HtmlPreviewMode, ui);
    const QStringList lines = BuildPage(body);
    if (page)
        *page = lines;
    QString error;
    const QString path = WritePreviewPage(myLIB.Jobs, lines, &error);
    if (path.isEmpty()) {
        ui.ShowInfo(error);
        return false;
    }
    if (view) {
        view->FhtmFontSize = 12;
        view->GoURL(path, tree);
    }
    return true;
}

template <typename Editor>
bool PreviewSelected(int tabIndex, TArticleTreeWidget* tree, TfWeb* view, Editor* editor)
{
    if (!tree)
        return false;
    QTreeWidgetItem* item = tree->currentItem();
    if (!item || !tree->carriesArticle(item))
        return false;
    TProgressInteraction ui(tree->window(), false);
    QStringList lines;
    const bool loaded = LoadArticleText(lines, ArticleFileName(myLIB.Jobs, tabIndex, tree->nodeOf(item)), ui);
    // An article that cannot be read leaves nothing of the previous one in sight.
    if (editor)
        editor->clear();
    if (!loaded) {
        if (view)
            view->GoURL(QStringLiteral("about:blank"), tree);
        return false;
    }
    if (editor) {
        editor->setPlainText(lines.join('\n'));
        editor->moveCursor(QTextCursor::Start);
    }
    ShowPage(lines, tree, view, ui);
    return true;
}

template <typename Editor>
void PreviewText(TArticleTreeWidget* tree, QTreeWidgetItem* node, Editor* source, QPlainTextEdit* pageSource,
                 TfWeb* view)
{
    if (!tree || !source || !tree->carriesArticle(node))
        return;
    TProgressInteraction ui(tree->window(), false);
    QStringList page;
    const QStringList lines = source->toPlainText().split('\n');
    ShowPage(lines, tree, view, ui, &page);
    if (pageSource)
        pageSource->setPlainText(page.join('\n'));
}

} // namespace

bool PreviewSelectedArticle(int tabIndex, TArticleTreeWidget* tree, TfWeb* view, QPlainTextEdit* editor)
{
    return PreviewSelected(tabIndex, tree, view, editor);
}

bool PreviewSelectedArticle(int tabIndex, TArticleTreeWidget* tree, TfWeb* view, QTextEdit* editor)
{
    return PreviewSelected(tabIndex, tree, view, editor);
}

void PreviewEditorText(TArticleTreeWidget* tree, QTreeWidgetItem* node, QPlainTextEdit* source,
                       QPlainTextEdit* pageSource, TfWeb* view)
{
    PreviewText(tree, node, source, pageSource, view);
}

void PreviewEditorText(TArticleTreeWidget* tree, QTreeWidgetItem* node, QTextEdit* source,
                       QPlainTextEdit* pageSource, TfWeb* view)
{
    PreviewText(tree, node, source, pageSource, view);
}
