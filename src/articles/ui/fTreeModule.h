#pragma once
// The tree frame the link, page grouping and category windows embed: the tab's article tree on
// the left, the selected article's text and its preview on the right, and a slot for the host's
// own controls between them.

#include <QWidget>

class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QTreeWidgetItem;
class TArticleTreeWidget;
class TfWeb;

class TfTreeModule : public QWidget {
    Q_OBJECT
public:
    explicit TfTreeModule(QWidget* parent = nullptr);

    // Loads the tab's tree and selects its first article; the frame stays empty when the
    // index cannot be read (the reader has told the operator).
    bool Show(int iTabsPtr);

    TArticleTreeWidget* TreeView = nullptr;
    QSplitter* Splitter1 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QTabWidget* PageHtml = nullptr;
    QWidget* tabText = nullptr;
    QWidget* tabWeb = nullptr;
    QPlainTextEdit* eTextSource = nullptr;
    TfWeb* fWeb1 = nullptr;
    QWidget* PanelExtra = nullptr;

    int FiTabsPtr = 0;
    bool isInit = false;
    QString TextFilename;

    // Hosts with their own selection handling switch the default off and call
    // PreviewSelectedArticle themselves.
    bool defaultSelectionHandler = true;

signals:
    void articleShown(int absoluteIndex);

private:
    void TreeViewChange(QTreeWidgetItem* current);
};
