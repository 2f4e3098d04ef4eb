#include "controls/ui/EditPlus.h"

#include "controls/ui/eCalendar.h"
#include "shell/ui/WidgetInteraction.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDate>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>

namespace {

// The field whose invalid value is being reported; other fields do not complain meanwhile,
// so two fields holding bad values cannot pull the focus back and forth.
QPointer<TEditPlus> s_complaining;

bool IsWindowSwitch(Qt::FocusReason reason)
{
    // The window losing activation, a message box or a context menu: the field is not left.
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

QLabel* MakeDateLabel(QWidget* parent, const char* name, const QColor& color, const QString& hint)
{
    auto* l = new QLabel(QStringLiteral("■"), parent);
    l->setObjectName(QLatin1String(name));
    l->setAlignment(Qt::AlignCenter);
    QFont f = l->font();
    f.setPixelSize(11);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, color);
    l->setPalette(p);
    l->setToolTip(hint);
    l->setCursor(Qt::PointingHandCursor);
    l->setFocusPolicy(Qt::NoFocus);
    return l;
}

} // namespace

TEditPlus::TEditPlus(QWidget* parent)
    : QLineEdit(parent)
{
    m_readOnlyColor = QApplication::palette().color(QPalette::Button);
    resize(121, 20);
}

QSize TEditPlus::sizeHint() const
{
    return QSize(121, QLineEdit::sizeHint().height());
}

void TEditPlus::setKindFlag(EditKind kind, bool on)
{
    if (on)
        m_kind = kind;
    else if (m_kind == kind)
        m_kind = EditKind::Plain;
    // A Hangul input method would only compose characters these fields refuse.
    setAttribute(Qt::WA_InputMethodEnabled, m_kind == EditKind::Plain);
    if (m_entered && hasFocus() && p_ISDATE() && !m_readOnlyPlus)
        showDateLabels();
    else if (!p_ISDATE())
        removeDateLabels();
}

EditCharCase TEditPlus::charCaseRule() const
{
    switch (m_charCase) {
    case ecUpperCase:
        return EditCharCase::Upper;
    case ecLowerCase:
        return EditCharCase::Lower;
    case ecNormal:
        break;
    }
    return EditCharCase::Normal;
}

int TEditPlus::insertPosition() const
{
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

void TEditPlus::insertFiltered(const QString& text)
{
    if (isReadOnly())
        return;
    FilteredInsert f = FilterInsertedText(m_kind, text, insertPosition(), charCaseRule());
    if (f.refused)
        QApplication::beep();
    if (!f.text.isEmpty())
        insert(f.text);
}

void TEditPlus::pasteFiltered(QClipboard::Mode mode)
{
    insertFiltered(QGuiApplication::clipboard()->text(mode));
}

void TEditPlus::keyPressEvent(QKeyEvent* e)
{
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (m_return2Tab) {
            e->accept();
            focusNextChild();
            return;
        }
        QLineEdit::keyPressEvent(e);
        return;
    }
    if (key == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        // Restoring consumes the key; with nothing to restore a dialog may still close on Esc.
        const bool changed = text() != m_oldText;
        if (changed && !isReadOnly())
            setText(m_oldText);
        selectAll();
        if (changed && !isReadOnly()) {
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        e->accept();
        pasteFiltered(QClipboard::Clipboard);
        return;
    }
    const QString t = e->text();
    const bool commandKey = e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (t.isEmpty() || commandKey || t.at(0).unicode() < 32 || isReadOnly()) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    FilteredInsert f = FilterInsertedText(m_kind, t, insertPosition(), charCaseRule());
    if (f.refused)
        QApplication::beep();
    if (f.text == t) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    e->accept();
    if (f.text.isEmpty())
        return;
    QKeyEvent folded(e->type(), key, e->modifiers(), f.text, e->isAutoRepeat(), ushort(e->count()));
    QLineEdit::keyPressEvent(&folded);
}

void TEditPlus::inputMethodEvent(QInputMethodEvent* e)
{
    if (e->commitString().isEmpty() || isReadOnly()) {
        QLineEdit::inputMethodEvent(e);
        return;
    }
    FilteredInsert f = FilterInsertedText(m_kind, e->commitString(), insertPosition(), charCaseRule());
    if (f.refused)
        QApplication::beep();
    if (f.text == e->commitString()) {
        QLineEdit::inputMethodEvent(e);
        return;
    }
    QInputMethodEvent filtered(e->preeditString(), e->attributes());
    filtered.setCommitString(f.text, e->replacementStart(), e->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}

void TEditPlus::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu* menu = createStandardContextMenu();
    // The menu's Paste goes through the same filter as typing.
    const QString pasteText = QLineEdit::tr("&Paste");
    for (QAction* a : menu->actions()) {
        if (a->objectName() == QLatin1String("edit-paste") || a->text().startsWith(pasteText)) {
            disconnect(a, &QAction::triggered, this, nullptr);
            connect(a, &QAction::triggered, this, [this] { pasteFiltered(QClipboard::Clipboard); });
            break;
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

void TEditPlus::dropEvent(QDropEvent* e)
{
    const QMimeData* data = e->mimeData();
    if (isReadOnly() || !data->hasText() || e->source() == this) {
        QLineEdit::dropEvent(e);
        return;
    }
    const int at = cursorPositionAt(e->position().toPoint());
    FilteredInsert f = FilterInsertedText(m_kind, data->text(), at, charCaseRule());
    if (f.text == data->text()) {
        QLineEdit::dropEvent(e);
        return;
    }
    if (f.refused)
        QApplication::beep();
    deselect();
    setCursorPosition(at);
    if (!f.text.isEmpty())
        insert(f.text);
    e->acceptProposedAction();
    setFocus(Qt::MouseFocusReason);
}

void TEditPlus::mouseReleaseEvent(QMouseEvent* e)
{
    // The X11 middle-button paste of the selection, filtered like any other paste.
    if (e->button() == Qt::MiddleButton && !isReadOnly() && QGuiApplication::clipboard()->supportsSelection()) {
        deselect();
        pasteFiltered(QClipboard::Selection);
        e->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(e);
}

void TEditPlus::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    if (m_entered) {
        if (p_ISDATE() && !m_readOnlyPlus)
            showDateLabels();
        return;
    }
    enterField();
}

void TEditPlus::enterField()
{
    m_entered = true;
    if (p_ISDATE() && !m_readOnlyPlus)
        showDateLabels();
    if (m_refocusing) {
        // Back after an invalid value: Esc still restores what the field had before.
        m_refocusing = false;
        selectAll();
        return;
    }
    m_oldText = text();
    if (m_autoSelect)
        selectAll();
}

void TEditPlus::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (IsWindowSwitch(e->reason()) || m_calendarOpen || !m_entered)
        return;
    m_entered = false;
    leaveField();
}

void TEditPlus::leaveField()
{
    removeDateLabels();
    if (m_readOnlyPlus)
        return;
    if (s_complaining && s_complaining != this)
        return;
    NormalizedValue v = NormalizeByKind(m_kind, text(), QDate::currentDate());
    if (v.valid) {
        if (v.text != text())
            setText(v.text);
        return;
    }
    QApplication::beep();
    s_complaining = this;
    // The message waits until the focus change is over; a box inside it would leave
    // the control that was clicked half pressed.
    QTimer::singleShot(0, this, [this] { complainInvalid(); });
}

void TEditPlus::complainInvalid()
{
    const bool stillInvalid = !NormalizeByKind(m_kind, text(), QDate::currentDate()).valid;
    if (!isVisible() || !stillInvalid || m_readOnlyPlus) {
        if (s_complaining == this)
            s_complaining = nullptr;
        return;
    }
    ShowInfoBox(window(), InvalidEntryMessage(m_kind));
    if (!hasFocus() && !m_entered) {
        m_refocusing = true;
        setFocus(Qt::OtherFocusReason);
    }
    if (!window()->isActiveWindow())
        window()->activateWindow();
    selectAll();
    if (s_complaining == this)
        s_complaining = nullptr;
}

void TEditPlus::showDateLabels()
{
    QWidget* p = parentWidget();
    if (!p)
        return;
    if (!m_calendarBtn) {
        m_calendarBtn = MakeDateLabel(p, "calendarBtn", QColor(Qt::blue), QStringLiteral("달력보기"));
        m_calendarBtn->installEventFilter(this);
    }
    if (!m_todayBtn) {
        m_todayBtn = MakeDateLabel(p, "todayBtn", QColor(0, 128, 0), QStringLiteral("오늘로"));
        m_todayBtn->installEventFilter(this);
    }
    placeDateLabels();
    m_calendarBtn->show();
    m_todayBtn->show();
    m_calendarBtn->raise();
    m_todayBtn->raise();
}

void TEditPlus::placeDateLabels()
{
    if (m_calendarBtn)
        m_calendarBtn->setGeometry(x() + width() - 1, y() - 1, 10, 10);
    if (m_todayBtn)
        m_todayBtn->setGeometry(x() + width() - 1, y() + 10, 10, 10);
}

void TEditPlus::removeDateLabels()
{
    // deleteLater: the label may be the one whose click is being handled.
    if (m_calendarBtn) {
        m_calendarBtn->hide();
        m_calendarBtn->deleteLater();
        m_calendarBtn = nullptr;
    }
    if (m_todayBtn) {
        m_todayBtn->hide();
        m_todayBtn->deleteLater();
        m_todayBtn = nullptr;
    }
}

bool TEditPlus::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        if (watched == m_calendarBtn) {
            openCalendar();
            return true;
        }
        if (watched == m_todayBtn) {
            setToday();
            return true;
        }
    }
    return QLineEdit::eventFilter(watched, e);
}

void TEditPlus::openCalendar()
{
    QPointer<TEditPlus> self(this);
    QString dateText = text();
    const QPoint corner = mapToGlobal(QPoint(0, 0));
    m_calendarOpen = true;
    auto* calendar = new TeCalendar(window());
    const bool chosen = calendar->Execute(dateText, corner.x(), corner.y() + height());
    delete calendar;
    if (!self)
        return;
    m_calendarOpen = false;
    if (!chosen)
        return;
    if (dateText != text())
        setText(dateText);
    // Choosing a date moves on to the next control, as Enter does.
    if (hasFocus())
        focusNextChild();
}

void TEditPlus::setToday()
{
    setText(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
}

void TEditPlus::setP_ReadOnlyPLUS(bool on)
{
    m_readOnlyPlus = on;
    setReadOnly(on);
    if (on)
        removeDateLabels();
    else if (m_entered && hasFocus() && p_ISDATE())
        showDateLabels();
    applyReadOnlyLook();
}

void TEditPlus::setP_ReadOnlyColor(const QColor& c)
{
    m_readOnlyColor = c;
    applyReadOnlyLook();
}

void TEditPlus::setP_ReadOnlyPColor(bool on)
{
    m_readOnlyPColor = on;
    if (on && parentWidget())
        m_readOnlyColor = parentWidget()->palette().color(parentWidget()->backgroundRole());
    applyReadOnlyLook();
}

void TEditPlus::setP_ReadOnlyBorder(bool on)
{
    m_readOnlyBorder = on;
    applyReadOnlyLook();
}

void TEditPlus::applyReadOnlyLook()
{
    if (!m_readOnlyPlus) {
        if (m_lookApplied) {
            setPalette(m_hadOwnPalette ? m_ownPalette : QPalette());
            m_lookApplied = false;
        }
        setFrame(true);
        return;
    }
    if (!m_lookApplied) {
        m_hadOwnPalette = testAttribute(Qt::WA_SetPalette);
        m_ownPalette = palette();
        m_lookApplied = true;
    }
    QWidget* p = parentWidget();
    const QColor back = (m_readOnlyPColor && p) ? p->palette().color(p->backgroundRole()) : m_readOnlyColor;
    QPalette pal = m_ownPalette;
    pal.setColor(QPalette::Base, back);
    setPalette(pal);
    setFrame(m_readOnlyBorder);
}

void TEditPlus::changeEvent(QEvent* e)
{
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::ParentChange && m_readOnlyPlus)
        applyReadOnlyLook();
}

void TEditPlus::moveEvent(QMoveEvent* e)
{
    QLineEdit::moveEvent(e);
    placeDateLabels();
}

void TEditPlus::resizeEvent(QResizeEvent* e)
{
    QLineEdit::resizeEvent(e);
    placeDateLabels();
}
