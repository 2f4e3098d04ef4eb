#include "articles/ui/ProgressInteraction.h"

#include "shell/ui/WidgetInteraction.h"

#include "shell/ui/frmProgressBar.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>

TProgressInteraction::TProgressInteraction(QWidget* owner, bool showWindow)
    : m_owner(owner)
    , m_show(showWindow)
{
}

TProgressInteraction::~TProgressInteraction()
{
    close();
}

void TProgressInteraction::close()
{
    delete m_window;
    m_window = nullptr;
}

void TProgressInteraction::setShowWindow(bool on)
{
    m_show = on;
    if (!on)
        close();
}

void TProgressInteraction::ensureWindow()
{
    if (!m_show || m_window)
        return;
    m_window = new TfrmProgressBar(m_owner);
    // Only the progress window takes input while the work runs (Esc).
    m_window->setWindowModality(Qt::ApplicationModal);
    m_window->show();
    QCoreApplication::processEvents();
}

void TProgressInteraction::ClearStop()
{
    m_stop = false;
    if (m_window)
        m_window->PressESC = false;
}

void TProgressInteraction::pump()
{
    if (!m_window)
        return;
    // Repaint and take Esc a few times a second; more often costs more than the work.
    static QElapsedTimer last;
    if (last.isValid() && last.elapsed() < 40)
        return;
    last.restart();
    QCoreApplication::processEvents();
}

void TProgressInteraction::ShowInfo(const QString& text)
{
    ShowInfoBox(m_window ? static_cast<QWidget*>(m_window) : m_owner.data(), text);
}

bool TProgressInteraction::AskYesNo(const QString& text)
{
    return AskYesNoBox(m_window ? static_cast<QWidget*>(m_window) : m_owner.data(), text);
}

void TProgressInteraction::Progress(int bar, qint64 position, qint64 maximum)
{
    if (bar != 0)
        return;
    ensureWindow();
    if (!m_window)
        return;
    // QProgressBar counts in int.
    const int scale = maximum > 1000000 ? int(maximum / 1000000 + 1) : 1;
    m_window->ProgressBar->setMaximum(int(maximum / scale));
    m_window->ProgressBar->setValue(int(position / scale));
    pump();
}

void TProgressInteraction::Status(int slot, const QString& text)
{
    ensureWindow();
    if (!m_window)
        return;
    if (slot == 0)
        m_window->Label1->setText(text);
    else if (slot == 1)
        m_window->ShowLoadingText(text);
    pump();
}

bool TProgressInteraction::StopRequested()
{
    pump();
    return m_stop || (m_window && m_window->PressESC);
}
