#pragma once
// The preview frame: an address bar, an error bar and the embedded HTML view. It follows the
// links between articles (inside the tab through the tree, into another tab through the preview
// window) and sends web addresses to the system browser.

#include <QPointer>
#include <QWebEnginePage>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QWebEngineView;
class TArticleTreeWidget;

// Applies the navigation rules before the engine moves; the owner decides.
class TPreviewPage : public QWebEnginePage {
    Q_OBJECT
public:
    // `url` is the link as the article wrote it (article links keep their "INNERREFER://" form).
    using Decider = std::function<bool(const QString& url, bool isMainFrame)>;
    TPreviewPage(QObject* parent, Decider decider);

    static QString LinkText(const QUrl& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

private:
    Decider m_decider;
};

class TfWeb : public QWidget {
    Q_OBJECT
public:
    explicit TfWeb(QWidget* parent = nullptr);

    QString Furl;
    QPointer<TArticleTreeWidget> Ftree;
    QPointer<QWidget> FOwnerForm;
    int FhtmFontSize = 12;

    // Shows the page (a file path or a URL) and waits until it has loaded (at most a few
    // seconds, so a page that never answers cannot hold the window).
    void GoURL(const QString& sURL, TArticleTreeWidget* Tree);
    // -1 smaller, 1 larger, 0 back to 12 points.
    void setFontSize(int updownzero);
    // The article link in Furl; true when it was one (the action itself runs right after).
    bool FollowInnerLink();

    QWebEngineView* browser() const { return Browser; }

    // Opens web addresses outside the program (the desktop's browser); tests put a recorder here.
    static std::function<void(const QUrl&)>& ExternalOpener();
    bool errorShown() const;

    QLineEdit* eURL = nullptr;
    QPushButton* btnWeb = nullptr;
    QWidget* pnlError = nullptr;
    QLineEdit* errURL = nullptr;
    QPushButton* btnBack = nullptr;
    QWebEngineView* Browser = nullptr;

signals:
    // An inner link was followed (page number, tab index or -1 for the same tab).
    void innerLinkFollowed(int page, int tab);

private:
    bool beforeNavigate(const QString& url, bool isMainFrame);
    void navigateError(const QUrl& url);
    void btnWebClick();
    void btnBackClick();

    TPreviewPage* m_page = nullptr;
    bool m_loading = false;
};
