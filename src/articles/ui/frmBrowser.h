#pragma once
// The preview window of a link into another tab: the tab name, the article title and its page.

#include "articles/ArticleIndex.h"

#include <QDialog>

class QLineEdit;
class QTimer;
class QWebEngineView;

class TfrmBrowser : public QDialog {
    Q_OBJECT
public:
    explicit TfrmBrowser(QWidget* parent = nullptr);

    int tabid = -1;   // tab to show, -1 for none
    int treeidx = 0;  // zero-based article number within that tab

    QLineEdit* EditTabName = nullptr;
    QLineEdit* EditHeader = nullptr;
    QWebEngineView* WebBrowser1 = nullptr;
    TArticleTree aTree;

    // Builds and shows the page of (tabid, treeidx); runs by itself right after the window shows.
    void ShowArticle();
    QString pagePath() const { return m_page; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    QTimer* Timer1 = nullptr;
    QString m_page;
    int m_loadedTab = -2;
};
