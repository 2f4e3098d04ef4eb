#include "shell/ui/WorkerDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

TWorkerDialog::TWorkerDialog(QWidget* parent)
    : QDialog(parent)
{
}

void TWorkerDialog::StopAndWaitWorker()
{
    if (!m_worker)
        return;
    m_ui->RequestStop();
    while (!m_worker->isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

void TWorkerDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && m_worker) {
        m_ui->RequestStop();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TWorkerDialog::reject()
{
    if (m_worker) {
        m_ui->RequestStop();
        return;
    }
    QDialog::reject();
}

void TWorkerDialog::closeEvent(QCloseEvent* event)
{
    if (m_worker) {
        m_ui->RequestStop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
