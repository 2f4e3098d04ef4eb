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
void PreviewSelected(int tabIndex, TArticleTreeWidget* tree, TfWeb* view, Editor* editor)
{
    if (!tree)
        return;
    QTreeWidgetItem* item = tree->currentItem();
    if (!item || !tree->carriesArticle(item))
        return;
    TProgressInteraction ui(tree->window(), false);
    QStringList lines;
    if (!LoadArticleText(lines, ArticleFileName(myLIB.Jobs, tabIndex, tree->nodeOf(item)), ui))
        return;
    if (editor) {
        editor->clear();
        editor->setPlainText(lines.join('\n'));
        editor->moveCursor(QTextCursor::Start);
    }
    ShowPage(lines, tree, view, ui);
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

void PreviewSelectedArticle(int tabIndex, TArticleTreeWidget* tree, TfWeb* view, QPlainTextEdit* editor)
{
    PreviewSelected(tabIndex, tree, view, editor);
}

void PreviewSelectedArticle(int tabIndex, TArticleTreeWidget* tree, TfWeb* view, QTextEdit* editor)
{
    PreviewSelected(tabIndex, tree, view, editor);
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
