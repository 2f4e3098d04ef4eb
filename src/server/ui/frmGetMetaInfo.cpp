#include "server/ui/frmGetMetaInfo.h"

#include "server/HttpClient.h"
#include "server/VUX_codes.h"
#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"
#include "shell/ui/WindowRegistry.h"
#include "shell/ui/frmMain.h"

#include <QApplication>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

TfrmGetMetaInfo::TfrmGetMetaInfo(const QString& targetFile, QWidget* parent)
    : QDialog(parent)
    , m_target(targetFile)
    , m_client(new THttpClient(this))
    , m_ui(new WidgetInteraction(this))
{
    setObjectName(QStringLiteral("frmGetMetaInfo"));
    setWindowTitle(QStringLiteral("VuxMetaInfo.txt"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    layout->addWidget(ProgressBar1);
    m_ui->setProgressBars({ProgressBar1});
    setFixedSize(360, 50);
}

void TfrmGetMetaInfo::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        // Painted first, then the download.
        QTimer::singleShot(10, this, &TfrmGetMetaInfo::Timer1Timer);
    }
}

void TfrmGetMetaInfo::Timer1Timer()
{
    m_running = true;
    m_error = !FetchMetaInfo(*m_client, m_target, *m_ui);
    m_running = false;
    done(m_error ? QDialog::Rejected : QDialog::Accepted);
}

void TfrmGetMetaInfo::reject()
{
    // Esc or the close box while the transfer runs stops it; the result follows from there.
    if (m_running) {
        m_client->Abort();
        return;
    }
    QDialog::reject();
}

// The main window's code table guard: create the table object on first need (fetching the
// column file through this window when it is missing) and load the code table.
static int EnsureCodeTableRunner(QWidget* parent)
{
    WidgetInteraction ui(parent);
    const bool ok = EnsureCodeTable(ui, [parent] {
        TfrmGetMetaInfo dlg(MetaInfoFileName(), parent);
        dlg.exec();
    });
    // The table error ends the program.
    if (!ok && !myLIB.VUX_codes_Created)
        TerminateProgram(parent);
    return ok ? 1 : 0;
}

static DialogRegistrar reg(QStringLiteral("EnsureCodeTable"), EnsureCodeTableRunner);
