#include "articles/ui/frmBrowser.h"

#include "articles/ArticleHtml.h"
#include "articles/ui/ProgressInteraction.h"
#include "articles/ui/fWeb.h"
#include "shell/myLIB.h"

#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWebEngineView>

TfrmBrowser::TfrmBrowser(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmBrowser");
    setWindowTitle(QStringLiteral("미리보기"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(820, 640);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    EditTabName = new QLineEdit(this);
    EditTabName->setObjectName("EditTabName");
    EditTabName->setReadOnly(true);
    EditHeader = new QLineEdit(this);
    EditHeader->setObjectName("EditHeader");
    EditHeader->setReadOnly(true);
    layout->addWidget(new QLabel(QStringLiteral("탭"), this), 0, 0);
    layout->addWidget(EditTabName, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("제목"), this), 0, 2);
    layout->addWidget(EditHeader, 0, 3);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 3);

    WebBrowser1 = new QWebEngineView(this);
    WebBrowser1->setObjectName("WebBrowser1");
    // Navigation errors stay silent here; article links move this window to their article.
    auto* page = new TPreviewPage(WebBrowser1, [this](const QString& url, bool main) {
        if (!main)
            return true;
        TInnerLink link;
        switch (DecideNavigation(url, &link)) {
        case TNavigation::Refuse:
            return false;
        case TNavigation::InnerLink:
            QTimer::singleShot(0, this, [this, link] {
                if (link.hasTab) {
                    const int tab = TabIndexById(myLIB.Jobs, link.tabId);
                    if (tab < 0)
                        return;
                    tabid = tab;
                }
                treeidx = link.page > 0 ? link.page - 1 : 0;
                ShowArticle();
            });
            return false;
        case TNavigation::OpenExternal:
            TfWeb::ExternalOpener()(QUrl(url));
            return false;
        case TNavigation::Navigate:
            break;
        }
        return true;
    });
    WebBrowser1->setPage(page);
    layout->addWidget(WebBrowser1, 1, 0, 1, 4);
    layout->setRowStretch(1, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setSingleShot(true);
    Timer1->setInterval(10);
    connect(Timer1, &QTimer::timeout, this, &TfrmBrowser::ShowArticle);
}

void TfrmBrowser::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_page.isEmpty())
        Timer1->start();
}

void TfrmBrowser::ShowArticle()
{
    const TJobDefine& job = myLIB.Jobs;
    TProgressInteraction ui(this, false);
    QStringList body;
    if (tabid != -1) {
        if (tabid != m_loadedTab) {
            m_loadedTab = -2;
            // A fault inside the index still leaves the entries before it to link to.
            if (!LoadArticleTree(job, tabid, aTree, ui) && aTree.empty())
                return;
            m_loadedTab = tabid;
        }
        EditTabName->setText(job.TabsName[tabid]);
        const int index = treeidx + 1;
        EditHeader->clear();
        if (aTree.valid(index)) {
            const TArticleNode& node = aTree.node(index);
            EditHeader->setText(node.title);
            EditHeader->setCursorPosition(0);
            QStringList lines;
            if (!LoadArticleText(lines, ArticleFileName(job, tabid, &node), ui))
                return;
            ArticleToHtml(body, lines, HtmlPreviewMode, ui);
        }
    }
    QString error;
    const QString path = WritePreviewPage(job, BuildPage(body), &error);
    if (path.isEmpty()) {
        ui.ShowInfo(error);
        return;
    }
    m_page = path;
    QEventLoop wait;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
    connect(WebBrowser1->page(), &QWebEnginePage::loadFinished, &wait, &QEventLoop::quit);
    WebBrowser1->load(QUrl::fromLocalFile(path));
    limit.start(10000);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}
