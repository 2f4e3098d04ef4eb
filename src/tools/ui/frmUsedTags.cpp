#include "tools/ui/frmUsedTags.h"

#include "shell/ui/GridPainters.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"
#include "tools/UsedTags.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmUsedTags"), WindowKind::Modal,
                           [](QWidget* p) { return new TfrmUsedTags(p); });

namespace {

const QString RunAgainCaption = QStringLiteral("재실행");
constexpr int RunColumn = 2;
constexpr int StateColumn = 3;

QTableWidget* MakeGrid(QWidget* parent, const QString& name, const QStringList& headers,
                       const QList<int>& widths)
{
    auto* grid = new QTableWidget(0, int(headers.size()), parent);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels(headers);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->verticalHeader()->setMinimumSectionSize(20);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    for (int c = 0; c < widths.size(); ++c)
        grid->setColumnWidth(c, widths[c]);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return grid;
}

// The worker's tab states and result sections, handed to the window thread.
class WindowObserver : public UsedTagsObserver {
public:
    explicit WindowObserver(QObject* context)
        : m_context(context)
    {
    }
    std::function<void(int, QString)> onState;
    std::function<void(QList<TTagResultRow>)> onSection;
    std::function<void(bool)> onCounting;

    void TabState(int tab, const QString& state) override
    {
        post([f = onState, tab, state] { f(tab, state); });
    }
    void SectionAdded(const QList<TTagResultRow>& rows) override
    {
        post([f = onSection, rows] { f(rows); });
    }
    void CountingTab(bool counting) override
    {
        post([f = onCounting, counting] { f(counting); });
    }

private:
    template <typename F>
    void post(F f)
    {
        if (m_context)
            QMetaObject::invokeMethod(m_context, f, Qt::QueuedConnection);
    }
    QPointer<QObject> m_context;
};

} // namespace

TfrmUsedTags::TfrmUsedTags(QWidget* parent)
    : TWorkerDialog(parent)
{
    setObjectName(QStringLiteral("frmUsedTags"));
    setWindowTitle(QStringLiteral("사용 TAG 통계"));
    setModal(true);
    resize(900, 560);

    sGrid = MakeGrid(this, QStringLiteral("sGrid"),
                     {QStringLiteral("탭 이름"), QStringLiteral("Source 폴더"), QStringLiteral("실행"),
                      QStringLiteral("진행")},
                     {155, 272, 35, 89});
    DrawGridCell(sGrid);
    // The tick is switched by mouse and space bar; nothing else in the grid is editable.
    sGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);

    eMsg = new QPlainTextEdit(this);
    eMsg->setObjectName(QStringLiteral("eMsg"));
    eMsg->setReadOnly(true);
    eMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    eMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    eMsg->setFixedHeight(300);
    eMsg->hide();

    PanelProgress = new QWidget(this);
    PanelProgress->setObjectName(QStringLiteral("PanelProgress"));
    auto* prog = new QGridLayout(PanelProgress);
    prog->setContentsMargins(0, 4, 0, 4);
    pgrList = new QProgressBar(PanelProgress);
    pgrList->setObjectName(QStringLiteral("pgrList"));
    pgrList->setTextVisible(false);
    LabelList = new QLabel(PanelProgress);
    LabelList->setObjectName(QStringLiteral("LabelList"));
    LabelList->setMinimumWidth(110);
    pgrFile = new QProgressBar(PanelProgress);
    pgrFile->setObjectName(QStringLiteral("pgrFile"));
    pgrFile->setTextVisible(false);
    LabelTiming = new QLabel(PanelProgress);
    LabelTiming->setObjectName(QStringLiteral("LabelTiming"));
    prog->addWidget(pgrList, 0, 0);
    prog->addWidget(LabelList, 0, 1);
    prog->addWidget(pgrFile, 1, 0);
    prog->addWidget(LabelTiming, 1, 1);
    PanelProgress->hide();

    PanelBottom = new QWidget(this);
    PanelBottom->setObjectName(QStringLiteral("PanelBottom"));
    PanelBottom->setFixedHeight(44);
    btnOK = new QPushButton(QStringLiteral("시작"), PanelBottom);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setFixedSize(100, 30);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("닫기"), PanelBottom);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setFixedSize(100, 30);

    gridResult = MakeGrid(this, QStringLiteral("gridResult"), {QStringLiteral("TAG"), QStringLiteral("count")},
                          {135, 113});
    gridResult->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridResult->setFixedWidth(135 + 113 + 24);
    DrawGridCell(gridResult, {Qt::AlignLeft, Qt::AlignRight});

    PanelToClipboard = new QWidget(this);
    PanelToClipboard->setObjectName(QStringLiteral("PanelToClipboard"));
    auto* clip = new QHBoxLayout(PanelToClipboard);
    clip->setContentsMargins(0, 4, 0, 0);
    ButtonClipboard = new QPushButton(QStringLiteral("복사"), PanelToClipboard);
    ButtonClipboard->setObjectName(QStringLiteral("ButtonClipboard"));
    ButtonClipboard->setFixedHeight(30);
    clip->addWidget(ButtonClipboard);
    PanelToClipboard->hide();

    auto* left = new QVBoxLayout;
    left->addWidget(sGrid, 1);
    left->addWidget(eMsg);
    left->addWidget(PanelProgress);
    auto* right = new QVBoxLayout;
    right->addWidget(gridResult, 1);
    right->addWidget(PanelToClipboard);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addWidget(PanelBottom);

    ElapseTimer = new QTimer(this);
    ElapseTimer->setObjectName(QStringLiteral("ElapseTimer"));
    ElapseTimer->setInterval(1000);
    connect(ElapseTimer, &QTimer::timeout, this, &TfrmUsedTags::ElapseTimerTimer);

    m_ui = new WidgetInteraction(this);
    m_ui->setMessagePane(eMsg);
    m_ui->setProgressBars({pgrList, pgrFile});
    m_ui->setStatusLabels({LabelList});

    connect(btnOK, &QPushButton::clicked, this, &TfrmUsedTags::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmUsedTags::reject);
    connect(ButtonClipboard, &QPushButton::clicked, this, &TfrmUsedTags::ButtonClipboardClick);
}

TfrmUsedTags::~TfrmUsedTags()
{
    StopAndWaitWorker();
}

void TfrmUsedTags::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterButtonPair(PanelBottom, btnOK, btnCancel);
    if (!m_opened) {
        m_opened = true;
        QTimer::singleShot(10, this, &TfrmUsedTags::Timer1Timer);
    }
}

void TfrmUsedTags::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    CenterButtonPair(PanelBottom, btnOK, btnCancel);
}


void TfrmUsedTags::Timer1Timer()
{
    eMsg->hide();
    m_job = myLIB.Jobs;
    if (m_job.WorkFolder.isEmpty()) {
        ShowInfoBox(this, QStringLiteral("작업이 정의되지 않았습니다."));
        return;
    }
    const int tabs = std::clamp(m_job.TabsCount, 0, MaxTabs);
    sGrid->setRowCount(tabs);
    for (int t = 0; t < tabs; ++t) {
        sGrid->setItem(t, 0, new QTableWidgetItem(m_job.TabsName[t]));
        sGrid->setItem(t, 1, new QTableWidgetItem(m_job.TabsFile[t]));
        auto* run = new QTableWidgetItem;
        run->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        run->setCheckState(Qt::Checked);
        sGrid->setItem(t, RunColumn, run);
        sGrid->setItem(t, StateColumn, new QTableWidgetItem);
    }
    if (tabs > 0)
        sGrid->setCurrentCell(0, RunColumn);
}

void TfrmUsedTags::SetTabState(int tab, const QString& state)
{
    if (QTableWidgetItem* item = sGrid->item(tab, StateColumn))
        item->setText(state);
}

void TfrmUsedTags::AddSection(const QList<TTagResultRow>& rows)
{
    gridResult->setUpdatesEnabled(false);
    for (const TTagResultRow& r : rows) {
        const int row = gridResult->rowCount();
        gridResult->insertRow(row);
        gridResult->setItem(row, 0, new QTableWidgetItem(r.name));
        gridResult->setItem(row, 1, new QTableWidgetItem(r.count));
    }
    gridResult->setUpdatesEnabled(true);
    PanelToClipboard->show();
}

void TfrmUsedTags::btnOKClick()
{
    if (m_worker)
        return;
    // After a complete run the button also closes the window with OK, whatever the answer.
    m_closeAfterRun = btnOK->text() == RunAgainCaption;
    if (m_closeAfterRun && !AskYesNoBox(this, QStringLiteral("다시 실행합니까?"))) {
        accept();
        return;
    }

    eMsg->clear();
    gridResult->setRowCount(0);
    PanelToClipboard->hide();
    QList<bool> ticked;
    for (int t = 0; t < sGrid->rowCount(); ++t) {
        const QTableWidgetItem* run = sGrid->item(t, RunColumn);
        ticked << (run && run->checkState() == Qt::Checked);
    }
    bool any = false;
    for (int t = 0; t < ticked.size(); ++t) {
        SetTabState(t, ticked[t] ? TagStateWaiting : TagStateNotRun);
        any = any || ticked[t];
    }
    if (!any) {
        ShowInfoBox(this, QStringLiteral("통계 추출 탭이 하나도 선택되지 않았습니다."));
        if (m_closeAfterRun)
            accept();
        return;
    }

    iBeginTime = QDateTime::currentDateTime();
    LabelTiming->setText(ElapsedSecondsText(0));
    ElapseTimer->start();
    PanelBottom->hide();
    eMsg->show();
    sGrid->setEnabled(false);
    m_ui->ClearStop();

    auto* observer = new WindowObserver(this);
    observer->onState = [this](int tab, const QString& state) { SetTabState(tab, state); };
    observer->onSection = [this](const QList<TTagResultRow>& rows) { AddSection(rows); };
    observer->onCounting = [this](bool counting) { SetCounting(counting); };
    auto outcome = std::make_shared<TUsedTagsOutcome>();
    const TJobDefine job = m_job;
    WidgetInteraction* ui = m_ui;
    m_worker = QThread::create([job, ticked, ui, observer, outcome] {
        *outcome = CountUsedTagsTabs(job, ticked, *ui, observer);
    });
    connect(m_worker, &QThread::finished, this, [this, observer, outcome] {
        delete observer;
        m_worker->deleteLater();
        m_worker = nullptr;
        RunFinished(*outcome);
    });
    m_worker->start();
}

void TfrmUsedTags::SetCounting(bool counting)
{
    PanelProgress->setVisible(counting);
    if (counting == m_waitCursor)
        return;
    m_waitCursor = counting;
    if (counting)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmUsedTags::RunFinished(const TUsedTagsOutcome& outcome)
{
    SetCounting(false);
    ElapseTimer->stop();
    ShowUsedTagsOutcome(outcome, *m_ui);
    if (outcome.completed)
        btnOK->setText(RunAgainCaption);
    sGrid->setEnabled(true);
    PanelBottom->show();
    PanelProgress->hide();
    CenterButtonPair(PanelBottom, btnOK, btnCancel);
    if (m_closeAfterRun)
        accept();
}

void TfrmUsedTags::ElapseTimerTimer()
{
    LabelTiming->setText(ElapsedSecondsText(iBeginTime.secsTo(QDateTime::currentDateTime())));
}

QString TfrmUsedTags::ClipboardText() const
{
    QList<TTagResultRow> rows;
    for (int r = 0; r < gridResult->rowCount(); ++r) {
        const QTableWidgetItem* name = gridResult->item(r, 0);
        const QTableWidgetItem* count = gridResult->item(r, 1);
        rows << TTagResultRow{name ? name->text() : QString(), count ? count->text() : QString()};
    }
    return UsedTagsClipboardText(rows);
}

void TfrmUsedTags::ButtonClipboardClick()
{
    QGuiApplication::clipboard()->setText(ClipboardText());
    ShowInfoBox(this, QStringLiteral("다른 프로그램에서 사용하기 위해 결과를 클립보드로 복사했습니다.\r\n"
                                     "편집기나 EXCEL 등에서 붙여넣기 하십시오."));
}



