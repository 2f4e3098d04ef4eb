#include "articles/ui/fWeb.h"

#include "articles/ArticleHtml.h"
#include "articles/ArticleIndex.h"
#include "articles/ui/ArticleTreeWidget.h"
#include "articles/ui/frmBrowser.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEngineSettings>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

namespace {

// A page that never finishes loading must not hold the window for ever.
constexpr int PageWaitMs = 10000;

// Article links are "INNERREFER://page=N&TAP=ID/". Known to the engine as a scheme of its own,
// a click on one reaches the navigation rules like any other link (an unknown scheme would be
// handed to the desktop instead). The engine wants it before the application object exists.
const bool InnerLinkSchemeRegistered = [] {
    QWebEngineUrlScheme scheme("innerrefer");
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
    return true;
}();

// The navigation rules decide on article links before any request goes out; should one slip
// through, the request is refused instead of being handed to the desktop.
class TInnerLinkRefuser : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override { job->fail(QWebEngineUrlRequestJob::RequestDenied); }
};

void InstallInnerLinkHandler(QWebEngineProfile* profile)
{
    if (profile && !profile->urlSchemeHandler("innerrefer"))
        profile->installUrlSchemeHandler("innerrefer", new TInnerLinkRefuser(profile));
}

QUrl ToUrl(const QString& s)
{
    if (s.startsWith('/') || QFileInfo::exists(s))
        return QUrl::fromLocalFile(s);
    return QUrl(s);
}

} // namespace

TPreviewPage::TPreviewPage(QObject* parent, Decider decider)
    : QWebEnginePage(parent)
    , m_decider(std::move(decider))
{
    InstallInnerLinkHandler(profile());
    settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    // "INNERREFER://page=5&TAP=7/" has no valid host, so the engine could not hand it over as
    // written: a click on such a link is turned into "innerrefer:page=5&TAP=7/" first.
    QWebEngineScript links;
    links.setName("innerLinks");
    links.setInjectionPoint(QWebEngineScript::DocumentCreation);
    links.setWorldId(QWebEngineScript::ApplicationWorld);
    links.setRunsOnSubFrames(true);
    // A footnote reference "#3" means the footnote anchor named 3, even when the article's
    // heading carries the id 3 (article 3's heading would otherwise win the jump).
    links.setSourceCode(QStringLiteral(
        "document.addEventListener('click', function (e) {"
        "  var a = e.target && e.target.closest ? e.target.closest('a[href]') : null;"
        "  if (!a) return;"
        "  var h = a.getAttribute('href') || '';"
        "  if (h.charAt(0) == '#') {"
        "    var named = document.getElementsByName(h.substring(1));"
        "    if (named.length) { e.preventDefault(); named[0].scrollIntoView(); }"
        "    return;"
        "  }"
        "  if (!/^\\s*innerrefer:/i.test(h)) return;"
        "  e.preventDefault();"
        "  window.location.href = 'innerrefer:' + h.replace(/^\\s*innerrefer:\\/*/i, '');"
        "}, true);"));
    scripts().insert(links);
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
}

QString TPreviewPage::LinkText(const QUrl& url)
{
    if (url.scheme().compare(QLatin1String("innerrefer"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("INNERREFER://") + url.path(QUrl::FullyDecoded);
    return url.toString();
}

bool TPreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    Q_UNUSED(type);
    return m_decider ? m_decider(LinkText(url), isMainFrame) : true;
}

TfWeb::TfWeb(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("fWeb");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    auto* top = new QWidget(this);
    top->setObjectName("PanelTop");
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(2, 2, 2, 2);
    eURL = new QLineEdit(top);
    eURL->setObjectName("eURL");
    eURL->setReadOnly(true);
    btnWeb = new QPushButton(QStringLiteral("WEB"), top);
    btnWeb->setObjectName("btnWeb");
    btnWeb->setToolTip(QStringLiteral("기본 브라우저로 엽니다."));
    topLayout->addWidget(eURL, 1);
    topLayout->addWidget(btnWeb);

    pnlError = new QWidget(this);
    pnlError->setObjectName("pnlError");
    pnlError->setAutoFillBackground(true);
    QPalette pal = pnlError->palette();
    pal.setColor(QPalette::Window, QColor(255, 236, 200));
    pnlError->setPalette(pal);
    auto* errLayout = new QHBoxLayout(pnlError);
    errLayout->setContentsMargins(4, 2, 4, 2);
    auto* errLabel = new QLabel(QStringLiteral("링크에 오류가 발생했습니다."), pnlError);
    errLabel->setObjectName("LabelError");
    errURL = new QLineEdit(pnlError);
    errURL->setObjectName("errURL");
    errURL->setReadOnly(true);
    btnBack = new QPushButton(QStringLiteral("뒤로"), pnlError);
    btnBack->setObjectName("btnBack");
    errLayout->addWidget(errLabel);
    errLayout->addWidget(errURL, 1);
    errLayout->addWidget(btnBack);
    pnlError->hide();

    Browser = new QWebEngineView(this);
    Browser->setObjectName("Browser");
    m_page = new TPreviewPage(Browser, [this](const QString& url, bool main) { return beforeNavigate(url, main); });
    Browser->setPage(m_page);

    layout->addWidget(top);
    layout->addWidget(pnlError);
    layout->addWidget(Browser, 1);

    connect(btnWeb, &QPushButton::clicked, this, &TfWeb::btnWebClick);
    connect(btnBack, &QPushButton::clicked, this, &TfWeb::btnBackClick);
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        // Stopped navigations (ours, cancelled on purpose) are no errors.
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.errorCode() != -3)
            navigateError(info.url());
    });
}

std::function<void(const QUrl&)>& TfWeb::ExternalOpener()
{
    static std::function<void(const QUrl&)> opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return opener;
}

bool TfWeb::errorShown() const
{
    return !pnlError->isHidden();
}

bool TfWeb::beforeNavigate(const QString& s, bool isMainFrame)
{
    pnlError->hide();
    TInnerLink link;
    const TNavigation action = DecideNavigation(s, &link);
    if (!isMainFrame)
        return action == TNavigation::Navigate;
    if (action == TNavigation::Refuse)
        return false;
    Furl = s;
    if (FollowInnerLink())
        return false;
    if (action == TNavigation::OpenExternal) {
        ExternalOpener()(QUrl(s));
        return false;
    }
    return true;
}

void TfWeb::navigateError(const QUrl& url)
{
    errURL->setText(url.toString());
    pnlError->show();
}

bool TfWeb::FollowInnerLink()
{
    const TInnerLink link = ParseInnerLink(Furl);
    if (!link.handled)
        return false;
    // The engine asks before it moves; the action runs once its question is answered.
    const int page = link.page;
    const TJobDefine& job = myLIB.Jobs;
    if (job.TabsCount == 1) {
        QTimer::singleShot(0, this, [this, page] {
            if (Ftree)
                Ftree->selectAbsolute(page);
            emit innerLinkFollowed(page, -1);
        });
        return true;
    }
    if (!FOwnerForm || !link.hasTab)
        return true;
    const QString tabId = link.tabId;
    QTimer::singleShot(0, this, [this, page, tabId] {
        const int tab = TabIndexById(myLIB.Jobs, tabId);
        if (tab < 0) {
            ShowInfoBox(window(), QStringLiteral("tap의 arid[%1] 지정 오류입니다.").arg(tabId));
            return;
        }
        emit innerLinkFollowed(page, tab);
        try {
            TfrmBrowser dlg(FOwnerForm);
            dlg.tabid = tab;
            dlg.treeidx = page > 0 ? page - 1 : 0;
            dlg.exec();
        } catch (...) {
            ShowInfoBox(window(), QStringLiteral("링크 확인 창에서 오류가 발생했습니다. 제품내 링크 확인용으로만 사용하세요."));
        }
    });
    return true;
}

void TfWeb::GoURL(const QString& sURL, TArticleTreeWidget* Tree)
{
    Furl = sURL;
    Ftree = Tree;
    FOwnerForm = parentWidget() ? parentWidget()->window() : nullptr;
    eURL->setText(sURL);
    eURL->setCursorPosition(0);

    QEventLoop wait;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
    connect(m_page, &QWebEnginePage::loadFinished, &wait, &QEventLoop::quit);
    Browser->load(ToUrl(sURL));
    limit.start(PageWaitMs);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

void TfWeb::setFontSize(int updownzero)
{
    if (updownzero == -1 && FhtmFontSize <= 6)
        return;
    if (updownzero == 1 && FhtmFontSize >= 18)
        return;
    if (updownzero == 0)
        FhtmFontSize = 12;
    else if (updownzero == 1)
        FhtmFontSize += 2;
    else if (updownzero == -1)
        FhtmFontSize -= 2;
    if (Furl.isEmpty() || Furl == "about:blank")
        return;
    // Script errors (a page without the function) are ignored.
    m_page->runJavaScript(QStringLiteral("try { nFontSize(%1); } catch (e) {}").arg(updownzero));
}

void TfWeb::btnWebClick()
{
    if (!Furl.isEmpty())
        ExternalOpener()(ToUrl(Furl));
}

void TfWeb::btnBackClick()
{
    Browser->back();
    pnlError->hide();
}
