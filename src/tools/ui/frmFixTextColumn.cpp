#include "tools/ui/frmFixTextColumn.h"

#include "shell/ui/WidgetInteraction.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

TfrmFixTextColumn::TfrmFixTextColumn(QWidget* parent)
    : TWorkerDialog(parent)
{
    setObjectName(QStringLiteral("frmFixTextColumn"));
    setWindowTitle(QStringLiteral("긴 줄 줄이기"));
    setModal(true);

    eFileName = new QPlainTextEdit(this);
    eFileName->setObjectName(QStringLiteral("eFileName"));
    eFileName->setReadOnly(true);
    eFileName->setFixedHeight(44);

    PanelOptions = new QWidget(this);
    PanelOptions->setObjectName(QStringLiteral("PanelOptions"));
    auto* grid = new QGridLayout(PanelOptions);
    grid->setContentsMargins(0, 0, 0, 0);
    const LineSplitOptions stored = LoadSplitterSettings();
    for (int i = 0; i < SplitTextCount; ++i) {
        const QString n = QString::number(i + 1);
        auto* label = new QLabel(QStringLiteral("분리 TEXT %1 :").arg(i + 1), PanelOptions);
        eSeperator[i] = new QLineEdit(PanelOptions);
        eSeperator[i]->setObjectName("eSeperator" + n);
        eSeperator[i]->setProperty("tag", i + 1);
        auto* pos = new QLabel(QStringLiteral("분리 위치 : "), PanelOptions);
        auto* group = new QWidget(PanelOptions);
        auto* gl = new QHBoxLayout(group);
        gl->setContentsMargins(0, 0, 0, 0);
        rbSep1[i] = new QRadioButton(QStringLiteral("앞"), group);
        rbSep1[i]->setObjectName("rb" + n + "Sep1");
        rbSep2[i] = new QRadioButton(QStringLiteral("뒤"), group);
        rbSep2[i]->setObjectName("rb" + n + "Sep2");
        gl->addWidget(rbSep1[i]);
        gl->addWidget(rbSep2[i]);
        grid->addWidget(label, i, 0);
        grid->addWidget(eSeperator[i], i, 1);
        grid->addWidget(pos, i, 2);
        grid->addWidget(group, i, 3);

        strSeperator[i] = stored.seps[i].text;
        eSeperator[i]->setText(stored.seps[i].text);
        (stored.seps[i].before ? rbSep1[i] : rbSep2[i])->setChecked(true);
        connect(eSeperator[i], &QLineEdit::editingFinished, this, &TfrmFixTextColumn::ShowOptions);
        connect(rbSep1[i], &QRadioButton::clicked, this, &TfrmFixTextColumn::ShowOptions);
        connect(rbSep2[i], &QRadioButton::clicked, this, &TfrmFixTextColumn::ShowOptions);
    }
    grid->setColumnStretch(1, 1);

    btnStart = new QPushButton(QStringLiteral("시작"), this);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStart->setMinimumSize(100, 30);
    btnStart->setAutoDefault(false);

    eMsg = new QPlainTextEdit(this);
    eMsg->setObjectName(QStringLiteral("eMsg"));
    eMsg->setReadOnly(true);
    eMsg->setLineWrapMode(QPlainTextEdit::NoWrap);
    eMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    PanelProgress = new QWidget(this);
    PanelProgress->setObjectName(QStringLiteral("PanelProgress"));
    auto* pl = new QHBoxLayout(PanelProgress);
    pl->setContentsMargins(0, 0, 0, 0);
    ProgressBar1 = new QProgressBar(PanelProgress);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    LabelProgress = new QLabel(QStringLiteral("0/0"), PanelProgress);
    LabelProgress->setObjectName(QStringLiteral("LabelProgress"));
    LabelProgress->setMinimumWidth(90);
    LabelTime = new QLabel(PanelProgress);
    LabelTime->setObjectName(QStringLiteral("LabelTime"));
    LabelTime->setMinimumWidth(60);
    pl->addWidget(ProgressBar1, 1);
    pl->addWidget(LabelProgress);
    pl->addWidget(LabelTime);
    PanelProgress->hide();

    PanelEnding = new QWidget(this);
    PanelEnding->setObjectName(QStringLiteral("PanelEnding"));
    auto* el = new QHBoxLayout(PanelEnding);
    el->setContentsMargins(0, 0, 0, 0);
    chkNoResp = new QCheckBox(QStringLiteral("묻지 않기"), PanelEnding);
    chkNoResp->setObjectName(QStringLiteral("chkNoResp"));
    BitBtn1 = new QPushButton(QStringLiteral("OK"), PanelEnding);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setMinimumSize(100, 30);
    el->addWidget(chkNoResp);
    el->addStretch(1);
    el->addWidget(BitBtn1);
    PanelEnding->hide();

    auto* main = new QVBoxLayout(this);
    main->addWidget(eFileName);
    main->addWidget(PanelOptions);
    auto* startRow = new QHBoxLayout;
    startRow->addStretch(1);
    startRow->addWidget(btnStart);
    main->addLayout(startRow);
    main->addWidget(eMsg, 1);
    main->addWidget(PanelProgress);
    main->addWidget(PanelEnding);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &TfrmFixTextColumn::Timer2Timer);

    m_ui = new WidgetInteraction(this);
    m_ui->setMessagePane(eMsg);
    m_ui->setProgressBars({ProgressBar1});
    m_ui->setStatusLabels({LabelProgress});

    connect(btnStart, &QPushButton::clicked, this, &TfrmFixTextColumn::btnStartClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    resize(520, 600);
}

TfrmFixTextColumn::~TfrmFixTextColumn()
{
    StopAndWaitWorker();
}

void TfrmFixTextColumn::SetFileName(const QString& filePath)
{
    m_file = filePath;
    eFileName->setPlainText(filePath);
}

void TfrmFixTextColumn::Log(const QString& line) { m_ui->Report(SplitterLogLine(line)); }

LineSplitOptions TfrmFixTextColumn::CurrentOptions() const
{
    LineSplitOptions o;
    for (int i = 0; i < SplitTextCount; ++i) {
        o.seps[i].text = strSeperator[i];
        o.seps[i].before = rbSep1[i]->isChecked();
    }
    o.noAsk = chkNoResp->isChecked();
    return o;
}

void TfrmFixTextColumn::ShowOptions() { ShowSplitOptions(CurrentOptions(), *m_ui); }

void TfrmFixTextColumn::ShowFull()
{
    resize(520, 600);
    if (!isVisible() && parentWidget()) {
        // Centred on the program's main window, kept on its screen.
        QWidget* top = parentWidget()->window();
        while (top->parentWidget())
            top = top->parentWidget()->window();
        QRect r(top->frameGeometry().center() - QPoint(width() / 2, height() / 2), size());
        if (const QScreen* screen = top->screen()) {
            const QRect avail = screen->availableGeometry();
            r.moveLeft(qBound(avail.left(), r.left(), qMax(avail.left(), avail.right() - r.width())));
            r.moveTop(qBound(avail.top(), r.top(), qMax(avail.top(), avail.bottom() - r.height())));
        }
        move(r.topLeft());
    }
}

void TfrmFixTextColumn::Opening()
{
    if (!QFileInfo(m_file).isFile()) {
        Log(QStringLiteral("파일을 열 수 없습니다."));
        Log(m_file);
        PanelEnding->show();
    }
    ShowOptions();
    if (chkNoResp->isChecked())
        btnStartClick();
}

void TfrmFixTextColumn::btnStartClick()
{
    if (m_worker)
        return;
    for (int i = 0; i < SplitTextCount; ++i)
        strSeperator[i] = eSeperator[i]->text();
    const LineSplitOptions options = CurrentOptions();
    if (ConfirmSplitStart(options, *m_ui) != SplitOutcome::Done) {
        if (options.noAsk) {
            chkNoResp->setChecked(false);
            emit runFinished(false);
        }
        return;
    }
    SaveSplitterSettings(options);
    StartRun(options);
}

void TfrmFixTextColumn::StartRun(const LineSplitOptions& opts)
{
    PanelOptions->setEnabled(false);
    btnStart->setEnabled(false);
    PanelEnding->hide();
    if (!opts.noAsk) {
        PanelProgress->show();
        iElapsed = 0;
        LabelTime->setText(QStringLiteral("0"));
        Timer2->start();
    }
    m_ui->ClearStop();
    m_stopped = false;

    LineSplitOptions options = opts;
    // A big file gets the window even in do-not-ask mode, so that the run can be seen and stopped.
    options.onBigFile = [this] {
        QMetaObject::invokeMethod(this, [this] {
            if (!isVisible()) {
                ShowFull();
                show();
            }
        }, Qt::BlockingQueuedConnection);
    };
    auto result = std::make_shared<LineSplitResult>();
    const QString file = m_file;
    WidgetInteraction* ui = m_ui;
    m_worker = QThread::create([file, options, ui, result] { *result = RunLineSplit(file, options, *ui); });
    connect(m_worker, &QThread::finished, this, [this, result] {
        m_worker->deleteLater();
        m_worker = nullptr;
        RunFinished(*result);
    });
    m_worker->start();
}

void TfrmFixTextColumn::RunFinished(const LineSplitResult& result)
{
    Timer2->stop();
    PanelProgress->hide();
    PanelEnding->show();
    PanelOptions->setEnabled(true);
    btnStart->setEnabled(true);
    if (result.outcome == SplitOutcome::Stopped) {
        m_stopped = true;
        emit runFinished(false);
        QDialog::reject();
        return;
    }
    const bool ok = result.outcome == SplitOutcome::Done;
    if (chkNoResp->isChecked() && ok) {
        emit runFinished(true);
        accept();
        return;
    }
    if (chkNoResp->isChecked())
        chkNoResp->setChecked(false);
    ShowFull();
    emit runFinished(false);
}

void TfrmFixTextColumn::Timer2Timer()
{
    ++iElapsed;
    if (iElapsed < 60)
        LabelTime->setText(QString::number(iElapsed));
    else if (iElapsed < 3600)
        LabelTime->setText(QString::asprintf("%.2d:%.2d", iElapsed / 60, iElapsed % 60));
    else
        LabelTime->setText(QString::asprintf("%.2d:%.2d:%.2d", iElapsed / 3600, iElapsed / 60 % 60, iElapsed % 60));
}

bool TfrmFixTextColumn::Run(QWidget* parent, const QString& filePath, bool& noAsk)
{
    TfrmFixTextColumn w(parent);
    w.SetFileName(filePath);
    w.chkNoResp->setChecked(noAsk);
    w.ShowFull();
    if (noAsk) {
        // The do-not-ask run needs no window; it appears only when the run leaves work.
        QEventLoop loop;
        bool finished = false;
        bool ok = false;
        connect(&w, &TfrmFixTextColumn::runFinished, &loop, [&](bool result) {
            finished = true;
            ok = result;
            loop.quit();
        });
        w.Opening();
        if (!finished)
            loop.exec();
        if (ok) {
            noAsk = w.chkNoResp->isChecked();
            return true;
        }
        if (w.m_stopped) {
            noAsk = w.chkNoResp->isChecked();
            return false;
        }
        w.ShowFull();
        const bool accepted = w.exec() == QDialog::Accepted;
        noAsk = w.chkNoResp->isChecked();
        return accepted;
    }
    QTimer::singleShot(10, &w, &TfrmFixTextColumn::Opening);
    const bool accepted = w.exec() == QDialog::Accepted;
    noAsk = w.chkNoResp->isChecked();
    return accepted;
}



