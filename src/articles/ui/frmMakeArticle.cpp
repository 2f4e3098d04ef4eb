#include "articles/ui/frmMakeArticle.h"

#include "articles/ArticleGenerator.h"
#include "shell/ui/GridPainters.h"
#include "articles/ui/frmFixMsgModal.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"
#include "tools/ui/frmFixTextColumn.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmMakeArticle"), WindowKind::Modal,
                           [](QWidget* p) { return new TfrmMakeArticle(p); });

namespace {

const QString RunAgainCaption = QStringLiteral("재실행");

// Too-long lines, asked from the worker: the notice and the splitter open on the window
// thread while the worker waits.
class WindowLongLines : public LongLineHandler {
public:
    explicit WindowLongLines(QWidget* window)
        : m_window(window)
    {
    }

    bool FixLongLine(const QString& filePath, int lineNumber, const QString& line, bool& noAsk) override
    {
        bool fixed = false;
        bool flag = noAsk;
        QMetaObject::invokeMethod(m_window, [&] {
            if (!m_window)
                return;
            if (!flag) {
                TfrmFixMsgModal notice(m_window);
                notice.SetMessage(filePath, lineNumber, line);
                notice.chkNoResp->setChecked(flag);
                const bool ok = notice.exec() == QDialog::Accepted;
                flag = notice.chkNoResp->isChecked();
                if (!ok)
                    return;
            }
            fixed = TfrmFixTextColumn::Run(m_window, filePath, flag);
        }, Qt::BlockingQueuedConnection);
        noAsk = flag;
        return fixed;
    }

private:
    QPointer<QWidget> m_window;
};

QLabel* CaptionLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setMinimumWidth(80);
    return l;
}

} // namespace

TfrmMakeArticle::TfrmMakeArticle(QWidget* parent)
    : TWorkerDialog(parent)
{
    setObjectName(QStringLiteral("frmMakeArticle"));
    setWindowTitle(QStringLiteral("기사 만들기"));
    setModal(true);
    resize(640, 600);

    sGrid = new QTableWidget(0, 5, this);
    sGrid->setObjectName(QStringLiteral("sGrid"));
    sGrid->setHorizontalHeaderLabels({QStringLiteral("탭 이름"), QStringLiteral("Source 폴더"), QStringLiteral("실행"),
                                      QStringLiteral("진행"), QStringLiteral("오류수정")});
    sGrid->verticalHeader()->hide();
    sGrid->verticalHeader()->setDefaultSectionSize(20);
    sGrid->verticalHeader()->setMinimumSectionSize(20);
    sGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    sGrid->setWordWrap(false);
    sGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    sGrid->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {120, 190, 40, 70};
    for (int c = 0; c < 4; ++c)
        sGrid->setColumnWidth(c, widths[c]);
    DrawGridCell(sGrid);

    chkRemoveOption = new QCheckBox(QStringLiteral("불필요한 줄 제거"), this);
    chkRemoveOption->setObjectName(QStringLiteral("chkRemoveOption"));
    PanelRemoveOption = new QWidget(this);
    PanelRemoveOption->setObjectName(QStringLiteral("PanelRemoveOption"));
    auto* rl = new QHBoxLayout(PanelRemoveOption);
    rl->setContentsMargins(0, 0, 0, 0);
    rl->addWidget(new QLabel(QStringLiteral("제거에 사용할 텍스트"), PanelRemoveOption));
    for (int i = 0; i < 3; ++i) {
        eRemoveText[i] = new QLineEdit(PanelRemoveOption);
        eRemoveText[i]->setObjectName(QStringLiteral("eRemoveText%1").arg(i + 1));
        rl->addWidget(eRemoveText[i], 1);
    }
    PanelRemoveOption->hide();

    PanelProgress = new QWidget(this);
    PanelProgress->setObjectName(QStringLiteral("PanelProgress"));
    auto* pg = new QGridLayout(PanelProgress);
    pg->setContentsMargins(0, 0, 0, 0);
    auto bar = [&](const QString& name) {
        auto* b = new QProgressBar(PanelProgress);
        b->setObjectName(name);
        b->setTextVisible(false);
        b->setRange(0, 1);
        b->setValue(0);
        return b;
    };
    auto counter = [&](const QString& name) {
        auto* l = new QLabel(PanelProgress);
        l->setObjectName(name);
        l->setMinimumWidth(110);
        return l;
    };
    pgrList = bar(QStringLiteral("pgrList"));
    pgrFile = bar(QStringLiteral("pgrFile"));
    pgrIndex = bar(QStringLiteral("pgrIndex"));
    LabelList = counter(QStringLiteral("LabelList"));
    LabelLines = counter(QStringLiteral("LabelLines"));
    LabelIndex = counter(QStringLiteral("LabelIndex"));
    pg->addWidget(CaptionLabel(QStringLiteral("파일 목록 :"), PanelProgress), 0, 0);
    pg->addWidget(pgrList, 0, 1);
    pg->addWidget(LabelList, 0, 2);
    pg->addWidget(CaptionLabel(QStringLiteral("원문 분석 :"), PanelProgress), 1, 0);
    pg->addWidget(pgrFile, 1, 1);
    pg->addWidget(LabelLines, 1, 2);
    pg->addWidget(CaptionLabel(QStringLiteral("기사 생성 :"), PanelProgress), 2, 0);
    pg->addWidget(pgrIndex, 2, 1);
    pg->addWidget(LabelIndex, 2, 2);
    pg->setColumnStretch(1, 1);
    PanelProgress->hide();

    LabelTiming = new QLabel(this);
    LabelTiming->setObjectName(QStringLiteral("LabelTiming"));

    eMsg = new QPlainTextEdit(this);
    eMsg->setObjectName(QStringLiteral("eMsg"));
    eMsg->setReadOnly(true);
    eMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    eMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    eMsg->hide();

    PanelButtons = new QWidget(this);
    PanelButtons->setObjectName(QStringLiteral("PanelButtons"));
    PanelButtons->setFixedHeight(44);
    btnOK = new QPushButton(QStringLiteral("시작"), PanelButtons);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setFixedSize(100, 30);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("닫기"), PanelButtons);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setFixedSize(100, 30);

    auto* main = new QVBoxLayout(this);
    main->addWidget(sGrid, 2);
    main->addWidget(chkRemoveOption);
    main->addWidget(PanelRemoveOption);
    main->addWidget(PanelProgress);
    main->addWidget(LabelTiming);
    main->addWidget(eMsg, 3);
    main->addWidget(PanelButtons);

    ElapseTimer = new QTimer(this);
    ElapseTimer->setObjectName(QStringLiteral("ElapseTimer"));
    ElapseTimer->setInterval(1000);
    connect(ElapseTimer, &QTimer::timeout, this, &TfrmMakeArticle::ElapseTimerTimer);

    m_ui = new WidgetInteraction(this);
    m_ui->setMessagePane(eMsg);
    m_ui->setProgressBars({pgrList, pgrFile, pgrIndex});
    m_ui->setStatusLabels({LabelList, LabelLines, LabelIndex});

    connect(btnOK, &QPushButton::clicked, this, &TfrmMakeArticle::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmMakeArticle::reject);
    connect(chkRemoveOption, &QCheckBox::toggled, this, &TfrmMakeArticle::chkRemoveOptionClick);
}

TfrmMakeArticle::~TfrmMakeArticle()
{
    StopAndWaitWorker();
}

void TfrmMakeArticle::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CenterButtonPair(PanelButtons, btnOK, btnCancel);
    if (!m_opened) {
        m_opened = true;
        QTimer::singleShot(10, this, &TfrmMakeArticle::Timer1Timer);
    }
}

void TfrmMakeArticle::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayoutMessagePane();
    CenterButtonPair(PanelButtons, btnOK, btnCancel);
}


void TfrmMakeArticle::LayoutMessagePane()
{
    // The message pane takes what the grid does not need; the window never grows for it.
    eMsg->setMinimumHeight(qMax(120, height() - 250) / 2);
}

void TfrmMakeArticle::Timer1Timer()
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
        sGrid->setItem(t, ColName, new QTableWidgetItem(m_job.TabsName[t]));
        sGrid->setItem(t, ColSource, new QTableWidgetItem(m_job.TabsFile[t]));
        auto* run = new QTableWidgetItem;
        run->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        run->setCheckState(Qt::Checked);
        sGrid->setItem(t, ColRun, run);
        sGrid->setItem(t, ColState, new QTableWidgetItem);
        sGrid->setItem(t, ColResult, new QTableWidgetItem);
    }
    if (tabs > 0)
        sGrid->setCurrentCell(0, ColRun);
}

void TfrmMakeArticle::chkRemoveOptionClick()
{
    PanelRemoveOption->setVisible(chkRemoveOption->isChecked());
}

void TfrmMakeArticle::SetCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= sGrid->rowCount())
        return;
    QTableWidgetItem* item = sGrid->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        sGrid->setItem(row, column, item);
    }
    item->setText(text);
}

void TfrmMakeArticle::btnOKClick()
{
    if (m_worker)
        return;
    if (btnOK->text() == RunAgainCaption) {
        // The button carries the OK result now: whatever the answer, the window closes after it.
        m_closeAfterRun = true;
        if (!AskYesNoBox(this, QStringLiteral("다시 실행합니까?"))) {
            accept();
            return;
        }
    }

    QList<int> tabs;
    for (int t = 0; t < sGrid->rowCount(); ++t) {
        const QTableWidgetItem* run = sGrid->item(t, ColRun);
        const bool ticked = run && run->checkState() == Qt::Checked;
        SetCell(t, ColState, ticked ? QStringLiteral("대기") : QStringLiteral("미실행"));
        if (ticked)
            tabs << t;
    }
    if (!ConfirmGeneration(tabs, *m_ui)) {
        if (m_closeAfterRun)
            accept();
        return;
    }

    m_ui->ClearStop();
    eMsg->clear();
    iBeginTime = QDateTime::currentDateTime();
    LabelTiming->setText(GenerationElapsedText(0));
    ElapseTimer->start();
    PanelButtons->hide();
    LayoutMessagePane();
    eMsg->show();
    PanelProgress->show();

    QStringList edits;
    for (QLineEdit* e : eRemoveText)
        edits << e->text();
    const QStringList removes = chkRemoveOption->isChecked() ? CollectRemoveTexts(edits) : QStringList();
    chkRemoveOption->setChecked(!removes.isEmpty());
    PanelRemoveOption->setEnabled(false);
    chkRemoveOption->setEnabled(false);
    sGrid->setEnabled(false);

    auto ok = std::make_shared<bool>(false);
    const TJobDefine job = m_job;
    WidgetInteraction* ui = m_ui;
    QPointer<TfrmMakeArticle> self(this);
    auto longLines = std::make_shared<WindowLongLines>(this);
    m_worker = QThread::create([job, tabs, removes, ui, ok, self, longLines] {
        auto onState = [self](int tab, int column, const QString& text) {
            QMetaObject::invokeMethod(self, [self, tab, column, text] {
                if (self)
                    self->SetCell(tab, column, text);
            }, Qt::QueuedConnection);
        };
        *ok = RunGenerationTabs(job, tabs, removes, *ui, longLines.get(), onState);
    });
    connect(m_worker, &QThread::finished, this, [this, ok] {
        m_worker->deleteLater();
        m_worker = nullptr;
        RunFinished(*ok);
    });
    m_worker->start();
}

void TfrmMakeArticle::RunFinished(bool ok)
{
    // The run's time is the time of the work, not of the closing message's box.
    ElapseTimer->stop();
    ElapseTimerTimer();
    ShowGenerationOutcome(ok, *m_ui);
    PanelRemoveOption->setEnabled(true);
    chkRemoveOption->setEnabled(true);
    sGrid->setEnabled(true);
    if (ok)
        btnOK->setText(RunAgainCaption);
    PanelButtons->show();
    PanelProgress->hide();
    CenterButtonPair(PanelButtons, btnOK, btnCancel);
    emit runFinished(ok);
    if (m_closeAfterRun)
        accept();
}

void TfrmMakeArticle::ElapseTimerTimer()
{
    LabelTiming->setText(GenerationElapsedText(iBeginTime.secsTo(QDateTime::currentDateTime())));
}

void TfrmMakeArticle::keyPressEvent(QKeyEvent* event)
{
    // Esc only asks the run to stop; it never closes the window.
    if (event->key() == Qt::Key_Escape && !isRunning()) {
        event->accept();
        return;
    }
    TWorkerDialog::keyPressEvent(event);
}


