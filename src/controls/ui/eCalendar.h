#pragma once
// The small calendar that drops below a date field: arrows move the day, Enter or a double
// click chooses, Esc or the red cross cancels.

#include <QDialog>
#include <QString>

class QCalendarWidget;
class QLabel;

class TeCalendar : public QDialog {
    Q_OBJECT
public:
    explicit TeCalendar(QWidget* parent = nullptr);

    // Shows the calendar at (left, top) on the screen preset to `dateText`. True with the chosen
    // date ("yyyy-mm-dd") in `dateText`; false and `dateText` untouched when cancelled.
    bool Execute(QString& dateText, int left, int top);

    QCalendarWidget* Calendar() const { return m_calendar; }

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void choose();
    void updateCaption();
    QLabel* headerLabel(const char* name, const QString& text);

    QString DateStr;
    int _left = 0;
    int _top = 0;

    QCalendarWidget* m_calendar = nullptr;
    QWidget* m_pnlCtrl = nullptr;
    QLabel* m_pYear = nullptr;
    QLabel* m_pMon = nullptr;
    QLabel* m_YM = nullptr;
    QLabel* m_nMon = nullptr;
    QLabel* m_nYear = nullptr;
    QLabel* m_pnlCloseBtn = nullptr;
};
