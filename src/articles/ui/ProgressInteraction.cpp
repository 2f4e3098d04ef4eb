#include "articles/ui/ProgressInteraction.h"

#include "shell/ui/WidgetInteraction.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {

// Esc on the progress window asks the work to stop instead of closing the window.
class TProgressWindow : public QDialog {
public:
    TProgressWindow(QWidget* parent, bool* stop)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
        , m_stop(stop)
    {
    }

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Escape) {
            *m_stop = true;
            e->accept();
            return;
        }
        QDialog::keyPressEvent(e);
    }
    void reject() override { *m_stop = true; }

private:
    bool* m_stop;
};

} // namespace

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
    m_window = new TProgressWindow(m_owner, &m_stop);
    m_window->setObjectName("frmProgressBar");
    m_window->setWindowTitle(QApplication::applicationName());
    m_window->setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(m_window);
    m_text = new QLabel(m_window);
    m_text->setObjectName("LabelText");
    m_bar = new QProgressBar(m_window);
    m_bar->setObjectName("ProgressBar1");
    m_bar->setTextVisible(false);
    m_counter = new QLabel(m_window);
    m_counter->setObjectName("Label1");
    m_counter->setAlignment(Qt::AlignRight);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addWidget(m_counter);
    m_window->resize(420, m_window->sizeHint().height());
    m_window->show();
    pump();
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
    if (!m_bar)
        return;
    // QProgressBar counts in int.
    const int scale = maximum > 1000000 ? int(maximum / 1000000 + 1) : 1;
    m_bar->setMaximum(int(maximum / scale));
    m_bar->setValue(int(position / scale));
    pump();
}

void TProgressInteraction::Status(int slot, const QString& text)
{
    ensureWindow();
    if (slot == 0 && m_counter)
        m_counter->setText(text);
    else if (slot == 1 && m_text)
        m_text->setText(text);
    pump();
}

bool TProgressInteraction::StopRequested()
{
    pump();
    return m_stop;
}
