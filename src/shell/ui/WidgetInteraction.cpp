#include "shell/ui/WidgetInteraction.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QThread>

#include <memory>

namespace {

bool OnGuiThread()
{
    return QThread::currentThread() == qApp->thread();
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

bool WidgetInteraction::OnWindow(const std::function<bool()>& box)
{
    if (OnGuiThread())
        return box();
    // The answer lives apart from the worker's stack: an abandoned worker leaves before it.
    struct Answer {
        bool given = false;
        bool yes = false;
    };
    auto answer = std::make_shared<Answer>();
    QMutexLocker lock(&m_lock);
    if (m_abandoned)
        return false;
    QMetaObject::invokeMethod(this, [this, box, answer] {
        if (m_abandoned)
            return;
        const bool yes = box();
        QMutexLocker answered(&m_lock);
        answer->given = true;
        answer->yes = yes;
        m_answered.wakeAll();
    }, Qt::QueuedConnection);
    while (!answer->given && !m_abandoned)
        m_answered.wait(&m_lock);
    return answer->given && answer->yes;
}

void WidgetInteraction::Abandon()
{
    QMutexLocker lock(&m_lock);
    m_abandoned = true;
    m_answered.wakeAll();
}

void WidgetInteraction::ShowInfo(const QString& text)
{
    OnWindow([this, text] {
        ShowInfoBox(m_owner, text);
        return true;
    });
}

bool WidgetInteraction::AskYesNo(const QString& text)
{
    return OnWindow([this, text] { return AskYesNoBox(m_owner, text); });
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
