#include "server/ui/frmUpdate.h"

#include "server/HttpClient.h"
#include "server/VersionCheck.h"
#include "shell/Settings.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

static DialogRegistrar reg(QStringLiteral("frmUpdate"), [](QWidget* parent) {
    TfrmUpdate window(parent);
    return window.exec() == QDialog::Accepted ? 1 : 2;
});

static const QString UpdateCaption = QStringLiteral("업데이트");

TfrmUpdate::TfrmUpdate(QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmUpdate");
    setWindowTitle(QStringLiteral("프로그램 업데이트"));
    m_ui = new WidgetInteraction(this);
    m_http = new THttpClient(this);
    m_start = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    m_end = [] { QApplication::exit(0); };

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    nFileSize = new QLabel(QStringLiteral("FileSize : "), this);
    nFileSize->setObjectName("nFileSize");
    btnUpdate = new QPushButton(UpdateCaption, this);
    btnUpdate->setObjectName("btnUpdate");
    btnUpdate->setAutoDefault(false);
    btnCancel = new QPushButton(QStringLiteral("중단"), this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setAutoDefault(false);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(nFileSize, 1);
    buttons->addWidget(btnUpdate);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar);
    layout->addLayout(buttons);
    layout->addWidget(Memo1, 1);
    setFixedSize(420, 260);

    connect(btnUpdate, &QPushButton::clicked, this, [this] { btnUpdateClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(m_http, &THttpClient::StatusText, this, [this](const QString& text) { AddLine(text); });
    connect(m_http, &THttpClient::WorkBegin, this, [this](qint64 size) {
        if (size < MinUpdaterSize) {
            m_sizeError = true;
            ProgressBar->setRange(0, 1);
            ProgressBar->setValue(0);
            // A reply this small is the server's error page, never the updater: stop here.
            m_http->Abort();
            return;
        }
        m_sizeError = false;
        nFileSize->setText(FileSizeText(size));
        // The bar counts kilobytes so that large files fit its int range.
        ProgressBar->setRange(0, int(qMin<qint64>(size / 1024 + 1, INT_MAX)));
        ProgressBar->setValue(0);
        ProgressBar->setProperty("bytes", size);
    });
    connect(m_http, &THttpClient::Work, this, [this](qint64 received) {
        if (!m_sizeError)
            ProgressBar->setValue(int(qMin<qint64>(received / 1024, ProgressBar->maximum())));
    });
    connect(m_http, &THttpClient::WorkEnd, this, [this] {
        if (!m_sizeError)
            ProgressBar->setValue(ProgressBar->maximum());
    });
}

QString TfrmUpdate::UpdaterPath() { return DataFolder() + '/' + UpdaterFileName; }

void TfrmUpdate::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    QTimer::singleShot(10, this, [this] { btnUpdateClick(); });
}

void TfrmUpdate::AddLine(const QString& line) { Memo1->appendPlainText(line); }

void TfrmUpdate::btnUpdateClick()
{
    if (m_running || btnUpdate->text() != UpdateCaption)
        return;
    m_running = true;
    Memo1->clear();
    AddLine(QStringLiteral("다운로드중..."));
    btnUpdate->setEnabled(false);
    btnCancel->show();
    m_sizeError = false;

    QPointer<TfrmUpdate> alive(this);
    // Into a side file first: a refused or broken download must not spoil the updater we have.
    const QString target = UpdaterPath();
    const QString partial = target + ".download";
    const HttpResult r = m_http->GetToFile(UpdaterFilePath, partial);
    if (!alive)
        return;
    m_running = false;
    bool ok = r.ok && !m_sizeError;
    QString error = r.error;
    if (ok) {
        QFile::remove(target);
        if (!QFile::rename(partial, target)) {
            ok = false;
            error = QStringLiteral("cannot write ") + target;
        }
    }
    QFile::remove(partial);

    if (!ok) {
        if (m_sizeError)
            m_ui->ShowInfo(QStringLiteral("서버에 파일이 없습니다. 운영자에게 문의하십시요."));
        else
            m_ui->ShowInfo(QStringLiteral("0 : ") + error);
        btnUpdate->setEnabled(true);
        return;
    }

    btnCancel->hide();
    AddLine(QStringLiteral("완료."));
    btnUpdate->setText(QStringLiteral("전송완료"));
    AddLine(QStringLiteral("프로세스를 다시 시작하겠습니다."));
    AddLine(QStringLiteral("잠시만 기다려 주십시요."));
    QEventLoop wait;
    QTimer::singleShot(1000, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    if (!alive)
        return;

    QFile::setPermissions(target, QFile::permissions(target) | QFile::ExeOwner | QFile::ExeUser
                                      | QFile::ReadOwner | QFile::ReadUser);
    const QStringList arguments =
        UpdaterArguments(m_http->BaseURL(), QCoreApplication::applicationFilePath());
    if (!m_start(target, arguments)) {
        // Ending the program without a running updater would leave the operator with nothing.
        m_ui->ShowInfo(QStringLiteral("업데이트 프로그램을 시작하지 못했습니다.\r\n") + target);
        btnUpdate->setText(UpdateCaption);
        btnUpdate->setEnabled(true);
        btnCancel->show();
        return;
    }
    m_end();
}

void TfrmUpdate::btnCancelClick()
{
    if (m_running)
        m_http->Abort();
}

void TfrmUpdate::closeEvent(QCloseEvent* event)
{
    // The download runs inside this window's handler: stop it first, close afterwards.
    if (m_running) {
        m_http->Abort();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmUpdate::reject()
{
    if (m_running) {
        m_http->Abort();
        return;
    }
    QDialog::reject();
}
