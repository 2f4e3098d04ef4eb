#include "shell/ui/EditWindow.h"

#include "shell/myLIB.h"
#include "shell/ui/WidgetInteraction.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

TEditWindow::TEditWindow(QWidget* parent)
    : QWidget(parent)
{
    m_ownUi = new WidgetInteraction(this);
    m_ui = m_ownUi;
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(10);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void TEditWindow::setInteraction(Interaction* ui)
{
    m_ui = ui ? ui : m_ownUi;
}

bool TEditWindow::Dirty() const
{
    return m_save && !m_save->testAttribute(Qt::WA_ForceDisabled);
}

void TEditWindow::SetDirtyButtons(QAbstractButton* save, QAbstractButton* companion)
{
    m_save = save;
    m_companion = companion;
    SetDirty(false);
}

void TEditWindow::SetDirty(bool on)
{
    m_save->setEnabled(on);
    if (m_companion)
        m_companion->setEnabled(on);
}

bool TEditWindow::DirtyGivenUp(const QString& question)
{
    return !Dirty() || m_ui->AskYesNo(question);
}

QComboBox* TEditWindow::NewTabCombo(QWidget* parent, int minimumWidth, int leading)
{
    m_tabCombo = new QComboBox(parent);
    m_tabCombo->setObjectName("SourceCombo");
    m_tabCombo->setMinimumWidth(minimumWidth);
    m_leading = leading;
    return m_tabCombo;
}

QPushButton* TEditWindow::NewButton(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QToolButton* TEditWindow::NewToolButton(const QString& name, const QString& caption, int minimumWidth, QWidget* parent,
                                        const QString& hint)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    b->setMinimumWidth(minimumWidth);
    return b;
}

int TEditWindow::ChosenTab() const
{
    const int tab = m_tabCombo->currentIndex() - m_leading;
    return tab >= 0 && tab < myLIB.Jobs.TabsCount ? tab : -1;
}

bool TEditWindow::TabChanging(int index, const std::function<bool()>& mayLeave)
{
    if (m_reverting)
        return false;
    if (!isInit) {
        m_comboIndex = index;
        return false;
    }
    if (!mayLeave()) {
        ShowTabInCombo(m_comboIndex);
        return false;
    }
    m_comboIndex = index;
    return true;
}

void TEditWindow::ShowTabInCombo(int index)
{
    m_reverting = true;
    m_tabCombo->setCurrentIndex(index);
    m_reverting = false;
}

bool TEditWindow::LeaveArticle(QTreeWidget* tree, QTreeWidgetItem* previous)
{
    if (m_reverting)
        return false;
    if (SaveArticle())
        return true;
    m_reverting = true;
    tree->setCurrentItem(previous);
    m_reverting = false;
    return false;
}

void TEditWindow::CloseWindow()
{
    m_discard = true;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void TEditWindow::CancelAndClose()
{
    if (m_ui->AskYesNo(CancelAllQuestion))
        CloseWindow();
}

void TEditWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_started) {
        m_started = true;
        Timer1->start();
    }
}

void TEditWindow::closeEvent(QCloseEvent* event)
{
    if (!m_discard && Dirty() && !m_ui->AskYesNo(m_closeQuestion)) {
        event->ignore();
        return;
    }
    Timer1->stop();
    event->accept();
}
