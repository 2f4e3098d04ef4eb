#include "controls/ui/eCalendar.h"

#include "shell/Runtime.h"

#include <QCalendarWidget>
#include <QDate>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTableView>
#include <QTextCharFormat>
#include <QVBoxLayout>

namespace {

QDate ReadDate(QString text)
{
    text = TrimBlanks(text);
    text.replace(u'/', u'-').replace(u'.', u'-');
    return QDate::fromString(text, QStringLiteral("yyyy-M-d"));
}

} // namespace

TeCalendar::TeCalendar(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("eCalendar"));
    setModal(true);
    setFixedSize(153, 152);
    // The dark window colour shows through the one-pixel margin as the form's border.
    setAutoFillBackground(true);
    QPalette framePal = palette();
    framePal.setColor(QPalette::Window, QColor(0x60, 0x60, 0x60));
    setPalette(framePal);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);

    m_pnlCtrl = new QWidget(this);
    m_pnlCtrl->setObjectName(QStringLiteral("pnlCtrl"));
    m_pnlCtrl->setFixedHeight(18);
    m_pnlCtrl->setAutoFillBackground(true);
    QPalette headPal = m_pnlCtrl->palette();
    headPal.setColor(QPalette::Window, QColor(0x2b, 0x4a, 0x7a));
    headPal.setColor(QPalette::WindowText, Qt::white);
    m_pnlCtrl->setPalette(headPal);
    auto* head = new QHBoxLayout(m_pnlCtrl);
    head->setContentsMargins(2, 0, 0, 0);
    head->setSpacing(0);

    m_pYear = headerLabel("pYear", QStringLiteral("《"));
    m_pMon = headerLabel("pMon", QStringLiteral("<"));
    m_YM = headerLabel("YM", QString());
    m_YM->setCursor(Qt::ArrowCursor);
    m_nMon = headerLabel("nMon", QStringLiteral(">"));
    m_nYear = headerLabel("nYear", QStringLiteral("》"));
    m_pnlCloseBtn = headerLabel("pnlCloseBtn", QStringLiteral("×"));
    m_pnlCloseBtn->setFixedWidth(18);
    m_pnlCloseBtn->setAutoFillBackground(true);
    QPalette closePal = m_pnlCloseBtn->palette();
    closePal.setColor(QPalette::Window, QColor(0xd0, 0x20, 0x20));
    closePal.setColor(QPalette::WindowText, Qt::white);
    m_pnlCloseBtn->setPalette(closePal);
    QFont bold = m_YM->font();
    bold.setBold(true);
    m_YM->setFont(bold);

    head->addWidget(m_pYear);
    head->addWidget(m_pMon);
    head->addWidget(m_YM, 1);
    head->addWidget(m_nMon);
    head->addWidget(m_nYear);
    head->addSpacing(2);
    head->addWidget(m_pnlCloseBtn);
    outer->addWidget(m_pnlCtrl);

    m_calendar = new QCalendarWidget(this);
    m_calendar->setObjectName(QStringLiteral("Calendar"));
    m_calendar->setLocale(QLocale(QLocale::Korean, QLocale::SouthKorea));
    m_calendar->setFirstDayOfWeek(Qt::Sunday);
    m_calendar->setGridVisible(false);
    m_calendar->setNavigationBarVisible(false);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    QFont small = m_calendar->font();
    small.setPixelSize(11);
    m_calendar->setFont(small);
    QTextCharFormat saturday = m_calendar->weekdayTextFormat(Qt::Saturday);
    saturday.setForeground(QColor(Qt::blue));
    m_calendar->setWeekdayTextFormat(Qt::Saturday, saturday);
    outer->addWidget(m_calendar, 1);

    // The form is smaller than the calendar would ask for: let the seven columns share it.
    m_calendar->setMinimumSize(1, 1);
    m_calendar->installEventFilter(this);
    if (auto* view = m_calendar->findChild<QTableView*>()) {
        view->installEventFilter(this);
        view->horizontalHeader()->setMinimumSectionSize(1);
        view->verticalHeader()->setMinimumSectionSize(1);
        view->setMinimumSize(1, 1);
    }
    connect(m_calendar, &QCalendarWidget::currentPageChanged, this, [this] { updateCaption(); });
    connect(m_calendar, &QCalendarWidget::activated, this, [this] { choose(); });
    updateCaption();
}

QLabel* TeCalendar::headerLabel(const char* name, const QString& text)
{
    auto* l = new QLabel(text, m_pnlCtrl);
    l->setObjectName(QLatin1String(name));
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(14);
    l->setCursor(Qt::PointingHandCursor);
    QFont f = l->font();
    f.setPixelSize(12);
    l->setFont(f);
    l->installEventFilter(this);
    return l;
}

bool TeCalendar::Execute(QString& dateText, int left, int top)
{
    DateStr = dateText;
    _left = left;
    _top = top;
    if (!DateStr.isEmpty()) {
        QDate d = ReadDate(DateStr);
        m_calendar->setSelectedDate(d.isValid() ? d : QDate::currentDate());
    }
    updateCaption();

    // Keep the whole calendar on the screen when the field sits near an edge.
    QPoint at(_left, _top);
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - width() + 1)));
        at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - height() + 1)));
    }
    move(at);

    if (exec() != QDialog::Accepted)
        return false;
    dateText = DateStr;
    return true;
}

void TeCalendar::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    m_calendar->setFocus();
}

void TeCalendar::updateCaption()
{
    m_YM->setText(QStringLiteral("%1년 %2월").arg(m_calendar->yearShown()).arg(m_calendar->monthShown()));
}

void TeCalendar::choose()
{
    if (result() == QDialog::Accepted && !isVisible())
        return;
    const QDate d = m_calendar->selectedDate();
    DateStr = QString::asprintf("%d-%.2d-%.2d", d.year(), d.month(), d.day());
    accept();
}

bool TeCalendar::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const QDate d = m_calendar->selectedDate();
        switch (static_cast<QKeyEvent*>(e)->key()) {
        case Qt::Key_Up:
            m_calendar->setSelectedDate(d.addDays(-7));
            return true;
        case Qt::Key_Down:
            m_calendar->setSelectedDate(d.addDays(7));
            return true;
        case Qt::Key_Left:
            m_calendar->setSelectedDate(d.addDays(-1));
            return true;
        case Qt::Key_Right:
            m_calendar->setSelectedDate(d.addDays(1));
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            choose();
            return true;
        case Qt::Key_Escape:
            reject();
            return true;
        default:
            break;
        }
        return QDialog::eventFilter(watched, e);
    }
    if (e->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        const QDate d = m_calendar->selectedDate();
        if (watched == m_pYear) {
            m_calendar->setSelectedDate(d.addYears(-1));
            return true;
        }
        if (watched == m_nYear) {
            m_calendar->setSelectedDate(d.addYears(1));
            return true;
        }
        if (watched == m_pMon) {
            m_calendar->setSelectedDate(d.addMonths(-1));
            return true;
        }
        if (watched == m_nMon) {
            m_calendar->setSelectedDate(d.addMonths(1));
            return true;
        }
        if (watched == m_pnlCloseBtn) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}
