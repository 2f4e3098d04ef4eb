#pragma once
// The products assigned to the logged-in staff member; a double-click chooses one.

#include "jobs/ProductList.h"

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class Interaction;
class THttpClient;

class TfrmJobsGetMy : public QDialog {
    Q_OBJECT
public:
    explicit TfrmJobsGetMy(QWidget* parent = nullptr);

    // The request to the server; the program's HTTP client unless a test puts another.
    void setFormPost(FormPostFn post) { m_post = std::move(post); }
    // Where the messages go; the window's own boxes unless a test puts another.
    void setInteraction(Interaction* ui) { m_ui = ui; }

    // The chosen product (after OK): the eight columns.
    ProductRow selectedProduct() const;
    const QList<ProductRow>& products() const { return m_rows; }

protected:
    void showEvent(QShowEvent* event) override;
    // Closing while the server is asked ends the request, so the caller gets its answer at once.
    void done(int result) override;

private:
    void LoadProducts();
    void SearchProduct();
    void gridListDblClick(int row);
    void FillGrid();

    QFrame* PanelTop = nullptr;
    QLineEdit* eSearch = nullptr;
    QPushButton* ButtonSearch = nullptr;
    QTableWidget* gridList = nullptr;
    QLabel* StatusBar = nullptr;

    FormPostFn m_post;
    THttpClient* m_http = nullptr;
    bool m_loading = false;
    Interaction* m_ui = nullptr;
    QList<ProductRow> m_rows;
    bool m_loadArmed = false;
};
