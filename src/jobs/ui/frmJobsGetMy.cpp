#include "jobs/ui/frmJobsGetMy.h"

#include "shell/ui/GridPainters.h"
#include "controls/ui/EditPlus.h"
#include "jobs/JobDefinition.h"
#include "server/HttpClient.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

TfrmJobsGetMy::TfrmJobsGetMy(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmJobsGetMy");
    setWindowTitle(QStringLiteral("제품 정보 가져오기"));
    resize(860, 520);

    m_ui = new WidgetInteraction(this);
    m_http = new THttpClient(this);
    m_post = ServerFormPost(m_http);

    PanelTop = new QFrame(this);
    PanelTop->setObjectName("PanelTop");
    PanelTop->setFrameShape(QFrame::StyledPanel);
    auto* top = new QVBoxLayout(PanelTop);
    auto* l1 = new QLabel(QStringLiteral("귀하에게 부여된 제품 목록입니다. 작업할 대상을 선택하십시오."), PanelTop);
    auto* l2 = new QLabel(QStringLiteral("작업할 대상의 목록이 보이지 않으면, 관리자에게 연락하십시오."), PanelTop);
    QFont bold = l1->font();
    bold.setBold(true);
    l1->setFont(bold);
    top->addWidget(l1);
    top->addWidget(l2);
    auto* searchRow = new QHBoxLayout;
    eSearch = new TEditPlus(PanelTop);
    eSearch->setObjectName("eSearch");
    eSearch->setPlaceholderText(QStringLiteral("제품명"));
    ButtonSearch = new QPushButton(QStringLiteral("찾기"), PanelTop);
    ButtonSearch->setObjectName("ButtonSearch");
    ButtonSearch->setAutoDefault(false);
    searchRow->addWidget(eSearch, 1);
    searchRow->addWidget(ButtonSearch);
    top->addLayout(searchRow);

    gridList = new QTableWidget(0, ProductColumnCount, this);
    gridList->setObjectName("gridList");
    gridList->setHorizontalHeaderLabels({QStringLiteral("제품명"), "Code", "ID", "sIMG", "iIMG",
                                         QStringLiteral("탭정보"), QStringLiteral("연결정보"), "AR_ID"});
    gridList->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridList->setSelectionMode(QAbstractItemView::SingleSelection);
    gridList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridList->verticalHeader()->setVisible(false);
    gridList->verticalHeader()->setDefaultSectionSize(gridList->fontMetrics().height() + 8);
    gridList->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    gridList->horizontalHeader()->setStretchLastSection(true);
    DrawGridCell(gridList, {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter,
                            Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignLeft, Qt::AlignLeft});

    StatusBar = new QLabel(QStringLiteral("제품을 선택하려면 더블클릭하세요."), this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setFrameShape(QFrame::StyledPanel);
    StatusBar->setContentsMargins(4, 2, 4, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PanelTop);
    layout->addWidget(gridList, 1);
    layout->addWidget(StatusBar);

    connect(eSearch, &QLineEdit::textChanged, this, [this] { SearchProduct(); });
    connect(ButtonSearch, &QPushButton::clicked, this, [this] { SearchProduct(); });
    connect(gridList, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { gridListDblClick(row); });
}

void TfrmJobsGetMy::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_loadArmed)
        return;
    m_loadArmed = true;
    // Painted first, then the request.
    QTimer::singleShot(10, this, [this] { LoadProducts(); });
}

void TfrmJobsGetMy::LoadProducts()
{
    if (!myLIB.IsLoggedIn()) {
        PanelTop->hide();
        gridList->hide();
        StatusBar->hide();
        m_ui->ShowInfo(ProductsLoginFirstMessage);
        reject();
        return;
    }
    m_rows.clear();
    FillGrid();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QList<ProductRow> rows;
    // Messages come after the cursor is back.
    TRecordedMessages pending; // shown once the hourglass is gone
    QPointer<TfrmJobsGetMy> alive(this);
    m_loading = true;
    const ProductFetch result = FetchAssignedProducts(myLIB.LoginID, myLIB.LoginPW, m_post, rows, pending);
    QApplication::restoreOverrideCursor();
    if (!alive)
        return;
    m_loading = false;
    // Closed while waiting: nothing more to show.
    if (!isVisible())
        return;
    for (const QString& m : pending.messages)
        m_ui->ShowInfo(m);
    if (result == ProductFetch::Failed || result == ProductFetch::NotLoggedIn) {
        reject();
        return;
    }
    m_rows = rows;
    FillGrid();
    if (!m_rows.isEmpty())
        gridList->selectRow(0);
    gridList->setFocus();
}

void TfrmJobsGetMy::FillGrid()
{
    gridList->clearContents();
    gridList->setRowCount(int(m_rows.size()));
    for (int r = 0; r < m_rows.size(); ++r) {
        const QString hint = ProductHint(m_rows[r]);
        for (int c = 0; c < ProductColumnCount; ++c) {
            auto* item = new QTableWidgetItem(m_rows[r].value(c));
            item->setToolTip(hint);
            gridList->setItem(r, c, item);
        }
    }
    // Long tab lists must not push the name column out of sight.
    for (int c = 0; c < ProductColumnCount; ++c)
        gridList->setColumnWidth(c, qBound(48, FitColumnWidth(gridList, c), 320));
}

ProductRow TfrmJobsGetMy::selectedProduct() const
{
    const int row = gridList->currentRow();
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows[row];
}

void TfrmJobsGetMy::SearchProduct()
{
    const int found = FindProductRow(m_rows, eSearch->text(), gridList->currentRow());
    if (found < 0)
        return;
    gridList->selectRow(found);
    gridList->scrollToItem(gridList->item(found, 0));
}

void TfrmJobsGetMy::gridListDblClick(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    // A product whose tabs cannot become files of a job folder is not offered to the job.
    if (const QString problem = ProductTabsProblem(m_rows[row]); !problem.isEmpty()) {
        m_ui->ShowInfo(problem);
        return;
    }
    gridList->selectRow(row);
    accept();
}

void TfrmJobsGetMy::done(int result)
{
    if (m_loading)
        m_http->Abort();
    QDialog::done(result);
}
