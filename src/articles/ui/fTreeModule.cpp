#include "articles/ui/fTreeModule.h"

#include "articles/ui/ArticleTreeWidget.h"
#include "shell/ui/GridPainters.h"
#include "articles/ui/Preview.h"
#include "articles/ui/fWeb.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

TfTreeModule::TfTreeModule(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("fTreeModule");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setChildrenCollapsible(false);
    TreeView = new TArticleTreeWidget(Splitter1);
    TreeView->setObjectName("TreeView");
    TreeView->setMinimumWidth(120);

    Splitter2 = new QSplitter(Qt::Horizontal, Splitter1);
    Splitter2->setObjectName("Splitter2");
    Splitter2->setChildrenCollapsible(false);
    PanelExtra = new QWidget(Splitter2);
    PanelExtra->setObjectName("PanelExtra");
    PanelExtra->setAutoFillBackground(true);
    QPalette pal = PanelExtra->palette();
    pal.setColor(QPalette::Window, QColor(255, 251, 240)); // cream
    PanelExtra->setPalette(pal);
    PanelExtra->hide();

    PageHtml = new QTabWidget(Splitter2);
    PageHtml->setObjectName("PageHtml");
    tabText = new QWidget(PageHtml);
    tabText->setObjectName("tabText");
    auto* textLayout = new QVBoxLayout(tabText);
    textLayout->setContentsMargins(0, 0, 0, 0);
    eTextSource = new QPlainTextEdit(tabText);
    eTextSource->setObjectName("eTextSource");
    textLayout->addWidget(eTextSource);
    tabWeb = new QWidget(PageHtml);
    tabWeb->setObjectName("tabWeb");
    auto* webLayout = new QVBoxLayout(tabWeb);
    webLayout->setContentsMargins(0, 0, 0, 0);
    fWeb1 = new TfWeb(tabWeb);
    fWeb1->setObjectName("fWeb1");
    webLayout->addWidget(fWeb1);
    PageHtml->addTab(tabText, QStringLiteral("텍스트"));
    PageHtml->addTab(tabWeb, QStringLiteral("WEB"));

    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({260, 700});
    layout->addWidget(Splitter1);

    PrepareRichEdit(eTextSource);
    eTextSource->clear();
    PageHtml->setCurrentWidget(tabText);

    connect(TreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { TreeViewChange(current); });
}

bool TfTreeModule::Show(int iTabsPtr)
{
    isInit = false;
    eTextSource->clear();
    TreeView->clearArticles();
    if (!LoadArticleTree(TreeView, iTabsPtr, true, window()))
        return false;
    FiTabsPtr = iTabsPtr;
    TreeView->selectAbsolute(0); // refused: the root is never selected
    isInit = true;
    TreeView->selectAbsolute(1);
    PageHtml->setCurrentWidget(tabText);

    // Whatever the host put into the extra panel sits between the tree and the pages.
    const bool hostControls = !PanelExtra->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).isEmpty();
    if (hostControls && PanelExtra->isHidden()) {
        PanelExtra->show();
        const int total = qMax(Splitter2->width(), 400);
        const int extra = qBound(120, PanelExtra->sizeHint().width(), total / 2);
        Splitter2->setSizes({extra, total - extra});
    } else if (!hostControls) {
        PanelExtra->hide();
    }
    return true;
}

void TfTreeModule::TreeViewChange(QTreeWidgetItem* current)
{
    if (isInit && defaultSelectionHandler && current && TreeView->carriesArticle(current)) {
        PreviewSelectedArticle(FiTabsPtr, TreeView, fWeb1, eTextSource);
        emit articleShown(TreeView->absoluteIndex(current));
    }
    TreeView->viewport()->update();
}
