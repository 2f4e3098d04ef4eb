#pragma once
// Rendering the selected article, or the text being edited, into a preview frame.

class QPlainTextEdit;
class QTextEdit;
class QTreeWidgetItem;
class TArticleTreeWidget;
class TfWeb;

// The selected article of the tree: its raw text into `editor` (when given), its page into the
// view. Nothing happens when no article is selected. False when its file cannot be read (the
// operator is told); the editor and the view are then empty.
bool PreviewSelectedArticle(int tabIndex, TArticleTreeWidget* tree, TfWeb* view, QPlainTextEdit* editor);
bool PreviewSelectedArticle(int tabIndex, TArticleTreeWidget* tree, TfWeb* view, QTextEdit* editor);

// The text being edited rendered as the article of `node`; the page's lines go into
// `pageSource` (when given).
void PreviewEditorText(TArticleTreeWidget* tree, QTreeWidgetItem* node, QPlainTextEdit* source,
                       QPlainTextEdit* pageSource, TfWeb* view);
void PreviewEditorText(TArticleTreeWidget* tree, QTreeWidgetItem* node, QTextEdit* source,
                       QPlainTextEdit* pageSource, TfWeb* view);
