#include "upload/ui/frmUpload.h"

#include "indexing/KeywordDefinitions.h"
#include "jobs/JobLayout.h"
#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/Runtime.h"
#include "shell/Settings.h"
#include "shell/myLIB.h"
#include "shell/ui/WindowRegistry.h"
#include "upload/UploadRun.h"
#include "upload/ui/frmUpdateMsg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

static WindowRegistrar reg(QStringLiteral("frmUpload"), WindowKind::Modal,
                           [](QWidget* p) { return new TfrmUpload(p); });

namespace {

const QString CloseCaption = QStringLiteral("닫기");

// The run's operator: pane lines with their separators, the window's bars and labels, and the
// cancel-upload flag as the stop request.
class RunInteraction : public Interaction {
public:
    RunInteraction(WidgetInteraction& ui, const std::atomic<bool>& cancel, QWidget* tabBar)
        : m_ui(ui), m_cancel(cancel), m_tabBar(tabBar)
    {
    }
    void ShowInfo(const QString& text) override { m_ui.ShowInfo(text); }
    bool AskYesNo(const QString& text) override { return m_ui.AskYesNo(text); }
    void Report(const QString& line) override
    {
        for (const QString& l : MessagePaneLines(line))
            m_ui.Report(l);
    }
    void Progress(int bar, qint64 position, qint64 maximum) override { m_ui.Progress(bar, position, maximum); }
    void Status(int slot, const QString& text) override
    {
        if (slot != UploadStatusPhase) {
            m_ui.Status(slot, text);
            return;
        }
        // The tab bar belongs to the text phase alone.
        QMetaObject::invokeMethod(m_tabBar, [bar = m_tabBar, on = !text.isEmpty()] { bar->setVisible(on); },
                                  Qt::QueuedConnection);
    }
    bool StopRequested() override { return m_cancel.load(); }

private:
    WidgetInteraction& m_ui;
    const std::atomic<bool>& m_cancel;
    QWidget* m_tabBar;
};

QLabel* Label(QWidget* parent, const QString& name, const QString& text = {})
{
    auto* l = new QLabel(text, parent);
    if (!name.isEmpty())
        l->setObjectName(name);
    return l;
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TfrmUpload::TfrmUpload(QWidget* parent)
    : TWorkerDialog(parent)
{
    setObjectName(QStringLiteral("frmUpload"));
    setWindowTitle(QStringLiteral("결과 업로드"));
    setModal(true);
    resize(760, 560);
    m_job = myLIB.Jobs;
    m_ui = new WidgetInteraction(this);

    eMsg = new QPlainTextEdit(this);
    eMsg->setObjectName(QStringLiteral("eMsg"));
    eMsg->setReadOnly(true);
    eMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_ui->setMessagePane(eMsg);

    // The wait for the server.
    PanelDelay = new QWidget(this);
    PanelDelay->setObjectName(QStringLiteral("PanelDelay"));
    PanelDelay->setStyleSheet(QStringLiteral("#PanelDelay { background: #fff4d6; border: 1px solid #d0a040; }"));
    auto* delay = new QHBoxLayout(PanelDelay);
    Label_delay_title = Label(PanelDelay, QStringLiteral("Label_delay_title"));
    Label_delay_count = Label(PanelDelay, QStringLiteral("Label_delay_count"));
    BitBtn_cancel_sending = Button(PanelDelay, QStringLiteral("BitBtn_cancel_sending"), QStringLiteral("전송 중지"));
    delay->addWidget(Label_delay_title);
    delay->addWidget(Label_delay_count);
    delay->addStretch();
    delay->addWidget(BitBtn_cancel_sending);
    PanelDelay->hide();

    // Tab choice.
    PanelUploadTabs = new QWidget(this);
    PanelUploadTabs->setObjectName(QStringLiteral("PanelUploadTabs"));
    auto* tabs = new QHBoxLayout(PanelUploadTabs);
    tabs->setContentsMargins(9, 2, 9, 2);
    CheckListBoxTabs = new QListWidget(PanelUploadTabs);
    CheckListBoxTabs->setObjectName(QStringLiteral("CheckListBoxTabs"));
    CheckBoxTabsAll = new QCheckBox(QStringLiteral("전체"), PanelUploadTabs);
    CheckBoxTabsAll->setObjectName(QStringLiteral("CheckBoxTabsAll"));
    SpeedButtonTabSetOK = Button(PanelUploadTabs, QStringLiteral("SpeedButtonTabSetOK"), QStringLiteral("OK"));
    tabs->addWidget(CheckListBoxTabs, 1);
    auto* tabSide = new QVBoxLayout;
    tabSide->setSpacing(2);
    tabSide->addWidget(CheckBoxTabsAll);
    tabSide->addWidget(SpeedButtonTabSetOK);
    tabSide->addStretch();
    tabs->addLayout(tabSide);
    PanelUploadTabs->hide();

    // Progress.
    PanelProgress = new QWidget(this);
    PanelProgress->setObjectName(QStringLiteral("PanelProgress"));
    auto* prog = new QGridLayout(PanelProgress);
    prog->setContentsMargins(0, 2, 0, 2);
    ProgressTabs = new QProgressBar(PanelProgress);
    ProgressTabs->setObjectName(QStringLiteral("ProgressTabs"));
    ProgressArticle = new QProgressBar(PanelProgress);
    ProgressArticle->setObjectName(QStringLiteral("ProgressArticle"));
    for (QProgressBar* b : {ProgressTabs, ProgressArticle})
        b->setTextVisible(false);
    LabelTabs = Label(PanelProgress, QStringLiteral("LabelTabs"));
    LabelArticle = Label(PanelProgress, QStringLiteral("LabelArticle"));
    LabelTime = Label(PanelProgress, QStringLiteral("LabelTime"));
    Label_HTTP_status = Label(PanelProgress, QStringLiteral("Label_HTTP_status"), QStringLiteral("Ready"));
    for (QLabel* l : {LabelTabs, LabelArticle})
        l->setMinimumWidth(110);
    prog->addWidget(ProgressTabs, 0, 0);
    prog->addWidget(LabelTabs, 0, 1);
    prog->addWidget(ProgressArticle, 1, 0);
    prog->addWidget(LabelArticle, 1, 1);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(LabelTime);
    statusRow->addStretch();
    statusRow->addWidget(Label(PanelProgress, {}, QStringLiteral("전송상태 :")));
    statusRow->addWidget(Label_HTTP_status);
    prog->addLayout(statusRow, 2, 0, 1, 2);
    PanelProgress->hide();
    m_ui->setProgressBars({ProgressTabs, ProgressArticle});
    m_ui->setStatusLabels({LabelTabs, LabelArticle, Label_HTTP_status});

    // Source images' tab ID.
    PanelWonImageID = new QWidget(this);
    PanelWonImageID->setObjectName(QStringLiteral("PanelWonImageID"));
    auto* won = new QHBoxLayout(PanelWonImageID);
    won->setContentsMargins(0, 0, 0, 0);
    won->addWidget(Label(PanelWonImageID, {}, QStringLiteral("원문이미지 ARID")));
    eWonImageID = new QLineEdit(PanelWonImageID);
    eWonImageID->setObjectName(QStringLiteral("eWonImageID"));
    eWonImageID->setMaximumWidth(120);
    won->addWidget(eWonImageID);
    won->addStretch();
    PanelWonImageID->hide();

    // The bottom bar.
    PanelReady = new QWidget(this);
    PanelReady->setObjectName(QStringLiteral("PanelReady"));
    auto* ready = new QHBoxLayout(PanelReady);
    ready->setContentsMargins(0, 0, 0, 0);
    LogCheckBox = new QCheckBox(QStringLiteral("로그남기기"), PanelReady);
    LogCheckBox->setObjectName(QStringLiteral("LogCheckBox"));
    LabelUpTabsCount = Label(PanelReady, QStringLiteral("LabelUpTabsCount"), QStringLiteral("전체"));
    ButtonSetUpTabs = Button(PanelReady, QStringLiteral("ButtonSetUpTabs"), QStringLiteral("설정"));
    ImgCheckBox = new QCheckBox(QStringLiteral("이미지전송"), PanelReady);
    ImgCheckBox->setObjectName(QStringLiteral("ImgCheckBox"));
    ImgCheckBox->setChecked(true);
    btnUpload = Button(PanelReady, QStringLiteral("btnUpload"), QStringLiteral("업로드"));
    ready->addWidget(LogCheckBox);
    ready->addSpacing(12);
    ready->addWidget(Label(PanelReady, {}, QStringLiteral("업로드할 탭 : ")));
    ready->addWidget(LabelUpTabsCount);
    ready->addWidget(ButtonSetUpTabs);
    ready->addSpacing(12);
    ready->addWidget(ImgCheckBox);
    ready->addStretch();
    ready->addWidget(btnUpload);
    PanelReady->hide();

    btnCancel1 = Button(this, QStringLiteral("btnCancel1"), QStringLiteral("취소"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(eMsg, 1);
    layout->addWidget(PanelDelay);
    layout->addWidget(PanelUploadTabs);
    layout->addWidget(PanelProgress);
    layout->addWidget(PanelWonImageID);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(PanelReady, 1);
    bottom->addStretch();
    bottom->addWidget(btnCancel1);
    layout->addLayout(bottom);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(10);
    ElapsedTimer = new QTimer(this);
    ElapsedTimer->setObjectName(QStringLiteral("ElapsedTimer"));
    ElapsedTimer->setInterval(1000);
    DelayTimer = new QTimer(this);
    DelayTimer->setObjectName(QStringLiteral("DelayTimer"));
    DelayTimer->setInterval(1000);

    connect(Timer1, &QTimer::timeout, this, &TfrmUpload::Timer1Timer);
    connect(ElapsedTimer, &QTimer::timeout, this, [this] { LabelTime->setText(ElapsedText(m_begin)); });
    connect(DelayTimer, &QTimer::timeout, this, &TfrmUpload::DelayTimerTimer);
    connect(BitBtn_cancel_sending, &QPushButton::clicked, this, [this] { m_cancelSending = true; });
    connect(ButtonSetUpTabs, &QPushButton::clicked, this, &TfrmUpload::ButtonSetUpTabsClick);
    connect(CheckListBoxTabs, &QListWidget::itemChanged, this, &TfrmUpload::CheckListBoxTabsClickCheck);
    connect(CheckBoxTabsAll, &QCheckBox::toggled, this, &TfrmUpload::CheckBoxTabsAllClick);
    connect(SpeedButtonTabSetOK, &QPushButton::clicked, this, &TfrmUpload::SpeedButtonTabSetOKClick);
    connect(btnUpload, &QPushButton::clicked, this, &TfrmUpload::btnUploadClick);
    connect(btnCancel1, &QPushButton::clicked, this, &TfrmUpload::btnCancel1Click);
}

TfrmUpload::~TfrmUpload()
{
    m_cancelUpload = true;
    m_waitCounter = 0;
    AbortRequests();
    StopAndWaitWorker();
}

void TfrmUpload::AbortRequests()
{
    QMutexLocker lock(&m_requestsLock);
    for (THttpClient* client : std::as_const(m_requests))
        client->Abort();
}

void TfrmUpload::showEvent(QShowEvent* event)
{
    TWorkerDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        Timer1->start();
    }
}

void TfrmUpload::Timer1Timer()
{
    if (!LoadKeywordDefinitions(*m_ui)) {
        TWorkerDialog::reject();
        return;
    }
    PanelWonImageID->setVisible(m_job.srcImage == QLatin1String("Y"));
    PanelProgress->show();
    ProgressArticle->hide();
    const TJobDefine job = m_job;
    const QStringList arIds = myLIB.sch_ar_ids;
    auto result = std::make_shared<TUploadCheck>();
    WidgetInteraction* ui = m_ui;
    // The warnings read the records as they will go, so the check gets the session's code table
    // and keyword options (copies: the worker must not share them with the window).
    std::shared_ptr<TVUX_codes> codes;
    if (const TVUX_codes* session = SessionCodes())
        codes = std::make_shared<TVUX_codes>(*session);
    auto options = std::make_shared<QList<TvuxSchOption>>(myLIB.schOptions);
    m_worker = QThread::create([job, arIds, ui, result, codes, options] {
        *result = RunUploadCheck(job, arIds, *ui, codes.get(), options.get());
    });
    connect(m_worker, &QThread::finished, this, [this, result] {
        m_worker->deleteLater();
        m_worker = nullptr;
        CheckFinished(*result);
    });
    m_worker->start();
}

void TfrmUpload::CheckFinished(const TUploadCheck& check)
{
    m_check = check;
    PanelProgress->hide();
    ProgressArticle->show();
    if (m_closeAfterRun) {
        TWorkerDialog::reject();
        return;
    }
    if (!check.passed)
        return;
    if (!check.imagesAvailable) {
        ImgCheckBox->setChecked(false);
        ImgCheckBox->setEnabled(false);
    }
    m_settingAll = true;
    CheckListBoxTabs->clear();
    for (int t = 0; t < m_job.TabsCount && t < MaxTabs; ++t) {
        auto* item = new QListWidgetItem(m_job.TabsName[size_t(t)], CheckListBoxTabs);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    const int rows = qBound(1, m_job.TabsCount, 9);
    PanelUploadTabs->setFixedHeight(52 + (rows - 1) * 20);
    LabelUpTabsCount->setText(QStringLiteral("전체"));
    CheckBoxTabsAll->setChecked(true);
    m_settingAll = false;
    m_ui->Report(UploadReadyReport);
    PanelReady->show();
}

void TfrmUpload::ButtonSetUpTabsClick()
{
    PanelUploadTabs->show();
    PanelWonImageID->setEnabled(false);
    PanelReady->setEnabled(false);
}

void TfrmUpload::UpdateTabsCount()
{
    QList<bool> checked;
    for (int i = 0; i < CheckListBoxTabs->count(); ++i)
        checked << (CheckListBoxTabs->item(i)->checkState() == Qt::Checked);
    LabelUpTabsCount->setText(UploadTabsCountText(checked));
}

void TfrmUpload::CheckListBoxTabsClickCheck()
{
    if (m_settingAll)
        return;
    bool all = true;
    for (int i = 0; i < CheckListBoxTabs->count(); ++i)
        all = all && CheckListBoxTabs->item(i)->checkState() == Qt::Checked;
    m_settingAll = true;
    CheckBoxTabsAll->setChecked(all);
    m_settingAll = false;
    UpdateTabsCount();
}

void TfrmUpload::CheckBoxTabsAllClick()
{
    if (m_settingAll)
        return;
    m_settingAll = true;
    const Qt::CheckState state = CheckBoxTabsAll->isChecked() ? Qt::Checked : Qt::Unchecked;
    for (int i = 0; i < CheckListBoxTabs->count(); ++i)
        CheckListBoxTabs->item(i)->setCheckState(state);
    m_settingAll = false;
    UpdateTabsCount();
}

void TfrmUpload::SpeedButtonTabSetOKClick()
{
    UpdateTabsCount();
    if (LabelUpTabsCount->text() == QLatin1String("0")) {
        ShowInfoBox(this, QStringLiteral("전송할 탭을 하나라도 선택하세요."));
        return;
    }
    PanelUploadTabs->hide();
    PanelWonImageID->setEnabled(true);
    PanelReady->setEnabled(true);
}

void TfrmUpload::btnUploadClick()
{
    if (m_worker || m_startSucceeded || !m_check.passed)
        return;
    m_ui->ClearStop();
    QString logFolder;
    if (LogCheckBox->isChecked()) {
        m_ui->Report(QStringLiteral("로그 폴더를 정리합니다."));
        logFolder = UploadLogFolder(m_job.WorkFolder);
        if (QFileInfo::exists(logFolder) && !DeleteDirectory(logFolder)) {
            ShowInfoBox(this, QStringLiteral("로그 폴더를 삭제할 수 없습니다.\r\n[") + logFolder + QStringLiteral("]"));
            return;
        }
        QDir().mkpath(logFolder);
    }
    TUploadSettings s;
    if (m_job.srcImage == QLatin1String("Y")) {
        eWonImageID->setText(TrimBlanks(eWonImageID->text()));
        if (eWonImageID->text().isEmpty()) {
            ShowInfoBox(this, QStringLiteral("원문이미지의 ARID를 입력하세요"));
            return;
        }
        s.sourceImageArid = eWonImageID->text();
    }
    TVUX_codes* codes = SessionCodes();
    if (!codes)
        return;
    auto options = std::make_shared<QList<TvuxSchOption>>(myLIB.schOptions);
    auto job = std::make_shared<TJobDefine>(m_job);
    auto codesCopy = std::make_shared<TVUX_codes>(*codes);
    s.job = job.get();
    s.codes = codesCopy.get();
    s.options = options.get();
    s.loginId = myLIB.LoginID;
    s.loginPw = myLIB.LoginPW;
    for (int i = 0; i < CheckListBoxTabs->count() && i < MaxTabs; ++i)
        s.selected[size_t(i)] = CheckListBoxTabs->item(i)->checkState() == Qt::Checked;
    s.linkedTabs = m_check.linkedTabs;
    s.sendImages = ImgCheckBox->isChecked();
    s.sourceImages = m_check.sourceImages;
    s.contentBaseUrl = ContentBaseURL();
    s.defaultSubject1 = DefaultSubjectCode(*options, *codes, codes->vux_SubjPtr1);
    s.defaultSubject2 = DefaultSubjectCode(*options, *codes, codes->vux_SubjPtr2);

    ProgressTabs->hide();
    ProgressArticle->show();
    PanelProgress->show();
    for (QProgressBar* b : {ProgressTabs, ProgressArticle})
        b->reset();
    LabelTabs->clear();
    LabelArticle->clear();
    m_begin = QDateTime::currentDateTime();
    LabelTime->setText(ElapsedText(m_begin));
    ElapsedTimer->start();
    btnUpload->setEnabled(false);
    ButtonSetUpTabs->setEnabled(false);

    m_cancelUpload = false;
    WidgetInteraction* ui = m_ui;
    auto outcome = std::make_shared<TUploadRunResult>();
    const QString baseUrl = ServerBaseURL(); // settings are read here, not on the worker
    m_worker = QThread::create([this, s, job, codesCopy, options, logFolder, ui, outcome, baseUrl] {
        THttpClient forms;
        THttpClient files;
        forms.SetBaseURL(baseUrl);
        files.SetBaseURL(baseUrl);
        // Known to the window for as long as they live, so that a cancel can abort their wait.
        struct Registered {
            TfrmUpload* w;
            Registered(TfrmUpload* window, THttpClient* a, THttpClient* b)
                : w(window)
            {
                QMutexLocker lock(&w->m_requestsLock);
                w->m_requests = {a, b};
            }
            ~Registered()
            {
                QMutexLocker lock(&w->m_requestsLock);
                w->m_requests.clear();
            }
        } registered(this, &forms, &files);
        // A cancel that came before the clients were known finds them here.
        if (m_cancelUpload.load())
            AbortRequests();
        THttpUploadTransport wire(forms, files);
        TUploadLog log(logFolder);
        TLoggingTransport logged(wire, log);
        TUploadTransport& transport = logFolder.isEmpty() ? static_cast<TUploadTransport&>(wire) : logged;
        RunInteraction run(*ui, m_cancelUpload, ProgressTabs);
        const TUploadRunResult r = RunUpload(
            s, transport, [this](const HttpResult&) { return WaitForServer(); }, run, [this](QStringList& note) {
                bool ok = false;
                QMetaObject::invokeMethod(
                    this, [this, &note, &ok] { ok = noteForTest ? noteForTest(note) : AskUpdateNote(this, note); },
                    Qt::BlockingQueuedConnection);
                return ok;
            });
        if (!log.LastError().isEmpty())
            run.Report(log.LastError());
        *outcome = r;
    });
    connect(m_worker, &QThread::finished, this, [this, outcome] {
        m_worker->deleteLater();
        m_worker = nullptr;
        RunFinished(outcome->completed, outcome->startSucceeded);
    });
    m_worker->start();
}

void TfrmUpload::RunFinished(bool completed, bool startSucceeded)
{
    ElapsedTimer->stop();
    m_ui->Report(completed ? QStringLiteral("전송이 완료되었습니다.") : QStringLiteral("전송이 중지되었습니다."));
    PanelProgress->hide();
    // Once the server opened the run, a second one from this window would start over on top of it.
    m_startSucceeded = m_startSucceeded || startSucceeded;
    btnUpload->setEnabled(!m_startSucceeded);
    ButtonSetUpTabs->setEnabled(!m_startSucceeded);
    if (completed)
        btnCancel1->setText(CloseCaption);
    if (m_closeAfterRun)
        TWorkerDialog::reject();
}

bool TfrmUpload::WaitForServer()
{
    m_cancelSending = false;
    m_waitCounter = waitSeconds;
    const int seconds = waitSeconds;
    QMetaObject::invokeMethod(this, [this, seconds] {
        Label_delay_title->setText(QStringLiteral("서버와 연결이 너무 많아 ") + QString::number(seconds) +
                                   QStringLiteral("초 동안 기다립니다."));
        Label_delay_count->setText(QStringLiteral("대기 : %1초 남음").arg(seconds));
        PanelDelay->show();
        DelayTimer->start();
    }, Qt::QueuedConnection);
    bool goOn = true;
    while (m_waitCounter.load() > 0) {
        if (m_cancelUpload.load()) {
            goOn = false;
            break;
        }
        if (m_cancelSending.load()) {
            if (m_ui->AskYesNo(QStringLiteral("전송을 중지합니까?"))) {
                goOn = false;
                break;
            }
            m_cancelSending = false;
        }
        QThread::msleep(100);
    }
    QMetaObject::invokeMethod(this, [this] {
        DelayTimer->stop();
        PanelDelay->hide();
    }, Qt::QueuedConnection);
    return goOn;
}

void TfrmUpload::DelayTimerTimer()
{
    const int left = --m_waitCounter;
    if (left >= 0)
        Label_delay_count->setText(QStringLiteral("대기 : %1초 남음").arg(left));
    if (left <= 0)
        DelayTimer->stop();
}

void TfrmUpload::btnCancel1Click()
{
    if (btnCancel1->text() == CloseCaption && !m_worker) {
        TWorkerDialog::reject();
        return;
    }
    if (!AskYesNoBox(this, QStringLiteral("전송을 취소합니까?")))
        return;
    m_cancelUpload = true;
    if (m_worker) {
        // The run stops at its next check, or at once when a request waits; the window goes
        // when it has.
        m_closeAfterRun = true;
        m_ui->RequestStop();
        AbortRequests();
        return;
    }
    TWorkerDialog::reject();
}

void TfrmUpload::reject()
{
    btnCancel1Click();
}

void TfrmUpload::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        btnCancel1Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmUpload::closeEvent(QCloseEvent* event)
{
    if (m_worker) {
        event->ignore();
        btnCancel1Click();
        return;
    }
    QDialog::closeEvent(event);
}
