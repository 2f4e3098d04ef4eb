#include "shell/ui/WorkerDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>

TWorkerDialog::TWorkerDialog(QWidget* parent)
    : QDialog(parent)
{
}

void TWorkerDialog::StopAndWaitWorker()
{
    // The run's own "finished" handler may run in the loop below and clear m_worker.
    const QPointer<QThread> worker = m_worker;
    if (!worker)
        return;
    m_ui->Abandon();
    while (worker && !worker->isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

void TWorkerDialog::CenterButtonPair(QWidget* panel, QWidget* left, QWidget* right)
{
    const int gap = 30;
    const int w = left->width() + gap + right->width();
    const int x = (panel->width() - w) / 2;
    const int y = (panel->height() - left->height()) / 2;
    left->move(x, y);
    right->move(x + left->width() + gap, y);
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
