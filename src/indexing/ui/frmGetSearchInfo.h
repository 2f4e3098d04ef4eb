#pragma once
// "색인 정보 가져오기": fetches the product's keyword definitions into keywords.txt and shows the
// fixed values and the items to extract of each tab.

#include "jobs/ProductList.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableWidget;
class QTimer;
class Interaction;
class THttpClient;

class TfrmGetSearchInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmGetSearchInfo(QWidget* parent = nullptr);
    ~TfrmGetSearchInfo() override;

    // Tests answer the boxes and stand in for the server.
    void setInteraction(Interaction* ui);
    void setFormPost(FormPostFn post) { m_post = std::move(post); }

    bool isInit = false;
    bool started() const { return m_started; }
    // A request to the server is waiting.
    bool busy() const { return m_busy; }

public slots:
    // Esc, the close button and the window's close box: while a request waits it is stopped
    // first, and the window closes once the fetch has returned.
    void reject() override;

public:
    QWidget* PanelTop = nullptr;
    QLabel* LabelGoodsName = nullptr;
    QLabel* LabelPID = nullptr;
    QLabel* LabelPDCODE = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* SourceCombo = nullptr;
    QPushButton* btnReload = nullptr;
    QPushButton* btnCancel = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* PanelFixed = nullptr;
    QWidget* PanelSearch = nullptr;
    QTableWidget* gridFixed = nullptr;
    QTableWidget* gridSearch = nullptr;
    QWidget* PanelError = nullptr;
    QPlainTextEdit* errorMsg = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Timer1Timer();
    void btnReloadClick();
    void SourceComboChange();
    bool Download();
    void Display();
    void FillGrids(int entry);
    void ClearGrids();
    void SizeColumns();

    Interaction* m_ui = nullptr;
    Interaction* m_ownUi = nullptr;
    THttpClient* m_http = nullptr;
    FormPostFn m_post;
    bool m_started = false;
    bool m_busy = false;
    bool m_cancelPending = false;
};
