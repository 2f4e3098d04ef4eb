#include "shell/ui/WidgetInteraction.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QThread>

namespace {

bool OnGuiThread()
{
    return QThread::currentThread() == qApp->thread();
}

// Runs `f` on the window thread and waits for it when called from a worker.
template <typename F>
void OnGui(QObject* context, F f)
{
    if (OnGuiThread())
        f();
    else
        QMetaObject::invokeMethod(context, f, Qt::BlockingQueuedConnection);
}

QString BoxText(const QString& text)
{
    QString t = text;
    t.replace("\r\n", "\n");
    return t;
}

} // namespace

void ShowInfoBox(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), BoxText(text), QMessageBox::Ok,
                    parent);
    box.setObjectName("ShowInfoBox");
    box.exec();
}

bool AskYesNoBox(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("VUX - Quilo Maker"), BoxText(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName("AskYesNoBox");
    box.setDefaultButton(QMessageBox::No);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

WidgetInteraction::WidgetInteraction(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
{
}

void WidgetInteraction::setProgressBars(const QList<QProgressBar*>& bars)
{
    m_bars.clear();
    for (QProgressBar* b : bars)
        m_bars << b;
}

void WidgetInteraction::setStatusLabels(const QList<QLabel*>& labels)
{
    m_labels.clear();
    for (QLabel* l : labels)
        m_labels << l;
}

void WidgetInteraction::ShowInfo(const QString& text)
{
    OnGui(this, [this, text] { ShowInfoBox(m_owner, text); });
}

bool WidgetInteraction::AskYesNo(const QString& text)
{
    bool yes = false;
    OnGui(this, [this, text, &yes] { yes = AskYesNoBox(m_owner, text); });
    return yes;
}

void WidgetInteraction::Report(const QString& line)
{
    QMetaObject::invokeMethod(this, [this, line] {
        if (m_pane) {
            m_pane->appendPlainText(line);
            // Always to the last line, even when the operator had scrolled up.
            m_pane->verticalScrollBar()->setValue(m_pane->verticalScrollBar()->maximum());
        }
    }, OnGuiThread() ? Qt::DirectConnection : Qt::QueuedConnection);
}

void WidgetInteraction::Progress(int bar, qint64 position, qint64 maximum)
{
    QMetaObject::invokeMethod(this, [this, bar, position, maximum] {
        if (bar < 0 || bar >= m_bars.size() || !m_bars[bar])
            return;
        // QProgressBar holds int; scale large counts down.
        qint64 pos = position, max = maximum;
        while (max > INT_MAX) {
            pos /= 2;
            max /= 2;
        }
        m_bars[bar]->setMaximum(int(qMax<qint64>(max, 0)));
        m_bars[bar]->setValue(int(qBound<qint64>(0, pos, max)));
    }, OnGuiThread() ? Qt::DirectConnection : Qt::QueuedConnection);
}

void WidgetInteraction::Status(int slot, const QString& text)
{
    QMetaObject::invokeMethod(this, [this, slot, text] {
        if (slot >= 0 && slot < m_labels.size() && m_labels[slot])
            m_labels[slot]->setText(text);
    }, OnGuiThread() ? Qt::DirectConnection : Qt::QueuedConnection);
}
