#include "common/WindowTestSupport.h"
#include "controls/ui/EditPlus.h"
#include "controls/ui/RequireInput.h"
#include "controls/ui/eCalendar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

namespace {

// Runs `step` on the modal window once it is up (the calendar's event loop is running).
void WhenModal(std::function<void(QWidget*)> step)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            step(w);
        }
    });
    timer->start(10);
}

class EditPlusForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.resize(300, 200);
        auto* lay = new QVBoxLayout(&form);
        first = new TEditPlus(&form);
        first->setObjectName("first");
        second = new TEditPlus(&form);
        second->setObjectName("second");
        lay->addWidget(first);
        lay->addWidget(second);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    // Enters the field afresh, as the operator tabbing into it.
    void Enter(TEditPlus* e)
    {
        (e == first ? second : first)->setFocus(Qt::TabFocusReason);
        e->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(e->hasFocus());
    }

    QWidget form;
    TEditPlus* first = nullptr;
    TEditPlus* second = nullptr;
};

TEST(EditPlus, StartsAsThePlainFieldAndKindsExcludeEachOther)
{
    TEditPlus e;
    EXPECT_EQ(e.size(), QSize(121, 20));
    EXPECT_TRUE(e.p_RETURN2TAB());
    EXPECT_FALSE(e.p_AutoSelect());
    EXPECT_TRUE(e.p_ReadOnlyPColor());
    EXPECT_TRUE(e.p_ReadOnlyBorder());
    EXPECT_EQ(e.kind(), EditKind::Plain);
    e.setP_ISDATE(true);
    e.setP_ISTIME(true);
    EXPECT_FALSE(e.p_ISDATE());
    EXPECT_TRUE(e.p_ISTIME());
    e.setProperty("p_NumberOnly", true);
    EXPECT_FALSE(e.p_ISTIME());
    EXPECT_EQ(e.kind(), EditKind::Integer);
    e.setP_ISDATE(false);  // turning off a kind that is not on changes nothing
    EXPECT_TRUE(e.p_NumberOnly());
}

TEST_F(EditPlusForm, TypingKeepsOnlyTheKindsCharactersAndNeverAnApostrophe)
{
    struct Row {
        std::function<void(TEditPlus*)> setup;
        const char* typed;
        const char* expected;
    };
    const Row rows[] = {
        {[](TEditPlus* e) { e->setP_ISDATE(true); }, "12a-3/4:'", "12-3/4"},
        {[](TEditPlus* e) { e->setP_ISTIME(true); }, "9:5 a-'", "9:5"},
        {[](TEditPlus* e) { e->setP_ISFLOAT(true); }, "3.5x-'", "3.5"},
        {[](TEditPlus* e) { e->setP_NumberOnly(true); }, "-1-2.'", "-12"},
        {[](TEditPlus* e) { e->setCharCase(TEditPlus::ecUpperCase); }, "it's ok", "ITS OK"},
        {[](TEditPlus* e) { e->setCharCase(TEditPlus::ecLowerCase); }, "AbC'D", "abcd"},
    };
    for (const Row& r : rows) {
        auto* e = new TEditPlus(&form);
        r.setup(e);
        e->show();
        QTest::keyClicks(e, QString::fromUtf8(r.typed));
        EXPECT_EQ(e->text(), QString::fromUtf8(r.expected)) << r.typed;
        delete e;
    }
}

TEST_F(EditPlusForm, PasteGoesThroughTheSameFilter)
{
    first->setP_NumberOnly(true);
    Enter(first);
    QGuiApplication::clipboard()->setText("-4'5x");
    QTest::keyClick(first, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(first->text(), "-45");

    Enter(second);
    QGuiApplication::clipboard()->setText("O'Brien\r\nrow");
    QTest::keyClick(second, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(second->text(), "OBrien row");
}

TEST_F(EditPlusForm, EnterMovesOnUnlessTurnedOff)
{
    Enter(first);
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_TRUE(second->hasFocus());

    second->setP_RETURN2TAB(false);
    QTest::keyClick(second, Qt::Key_Return);
    EXPECT_TRUE(second->hasFocus());
}

TEST_F(EditPlusForm, EscBringsBackTheTextTheFieldWasEnteredWith)
{
    first->setText("abc");
    Enter(first);
    first->end(false);
    QTest::keyClicks(first, "xyz");
    EXPECT_EQ(first->text(), "abcxyz");
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_EQ(first->text(), "abc");
    EXPECT_EQ(first->selectedText(), "abc");
}

TEST_F(EditPlusForm, DateFieldShowsItsLabelsWhileFocusedAndNormalisesOnLeaving)
{
    first->setP_ISDATE(true);
    Enter(first);
    ASSERT_NE(first->calendarBtn(), nullptr);
    ASSERT_NE(first->todayBtn(), nullptr);
    EXPECT_EQ(first->calendarBtn()->text(), "■");
    EXPECT_EQ(first->calendarBtn()->toolTip(), "달력보기");
    EXPECT_EQ(first->todayBtn()->toolTip(), "오늘로");
    EXPECT_EQ(first->calendarBtn()->geometry(), QRect(first->x() + first->width() - 1, first->y() - 1, 10, 10));
    EXPECT_EQ(first->todayBtn()->geometry(), QRect(first->x() + first->width() - 1, first->y() + 10, 10, 10));

    QTest::mouseClick(first->todayBtn(), Qt::LeftButton);
    EXPECT_EQ(first->text(), QDate::currentDate().toString("yyyy-MM-dd"));
    EXPECT_TRUE(first->hasFocus());

    first->clear();
    QTest::keyClicks(first, "0315");
    second->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(first->text(), QString("%1-03-15").arg(QDate::currentDate().year()));
    EXPECT_EQ(first->calendarBtn(), nullptr);
    EXPECT_EQ(first->todayBtn(), nullptr);
}

TEST_F(EditPlusForm, InvalidValueIsReportedAndTheFocusComesBack)
{
    struct Row {
        std::function<void(TEditPlus*)> setup;
        const char* before;
        const char* typed;
        const char* message;
    };
    const Row rows[] = {
        {[](TEditPlus* e) { e->setP_ISDATE(true); }, "2020-01-02", "2012-02-30", "일자 입력이 잘못되었습니다."},
        {[](TEditPlus* e) { e->setP_ISTIME(true); }, "10:00", "24:00", "시간 입력이 잘못되었습니다."},
        {[](TEditPlus* e) { e->setP_ISFLOAT(true); }, "1.000", "1.2.3", "입력이 잘못되었습니다."},
    };
    for (const Row& r : rows) {
        first->setP_ISDATE(false);
        first->setP_ISTIME(false);
        first->setP_ISFLOAT(false);
        r.setup(first);
        first->setText(r.before);
        Enter(first);
        first->clear();
        QTest::keyClicks(first, r.typed);

        BoxAnswerer closer;
        second->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.texts.isEmpty() && first->hasFocus(); }, 3000));
        EXPECT_EQ(closer.texts, QStringList{QString::fromUtf8(r.message)});
        EXPECT_EQ(first->text(), r.typed);
        EXPECT_EQ(first->selectedText(), r.typed);
        // Esc still goes back to the value the field had before the bad entry.
        QTest::keyClick(first, Qt::Key_Escape);
        EXPECT_EQ(first->text(), r.before);
        second->setFocus(Qt::TabFocusReason);
    }
}

TEST_F(EditPlusForm, ReadOnlyFieldTakesTheParentsColourAndIsNeitherCheckedNorLabelled)
{
    QPalette pal = form.palette();
    pal.setColor(QPalette::Window, QColor(200, 220, 240));
    form.setPalette(pal);
    first->setP_ISDATE(true);
    first->setText("45");
    first->setP_ReadOnlyPLUS(true);
    EXPECT_TRUE(first->isReadOnly());
    EXPECT_EQ(first->palette().color(QPalette::Base), QColor(200, 220, 240));
    first->setP_ReadOnlyBorder(false);
    EXPECT_FALSE(first->hasFrame());

    BoxAnswerer closer;
    Enter(first);
    EXPECT_EQ(first->calendarBtn(), nullptr);
    second->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_TRUE(closer.texts.isEmpty());
    EXPECT_EQ(first->text(), "45");

    first->setP_ReadOnlyPLUS(false);
    EXPECT_FALSE(first->isReadOnly());
    EXPECT_TRUE(first->hasFrame());
    EXPECT_NE(first->palette().color(QPalette::Base), QColor(200, 220, 240));
}

TEST(EditPlusRequire, EmptyFieldIsReportedWithItsLabel)
{
    QWidget form;
    auto* e = new TEditPlus(&form);
    form.show();
    e->setText("   ");
    BoxAnswerer closer;
    EXPECT_TRUE(RequireInput(e, "찾을 제품명"));
    EXPECT_EQ(closer.texts, QStringList{"찾을 제품명 : 반드시 입력해야합니다."});
    EXPECT_EQ(e->text(), "");
    EXPECT_TRUE(RequireInput(e, ""));
    EXPECT_EQ(closer.texts.size(), 1);
    e->setText(" x ");
    EXPECT_FALSE(RequireInput(e, "찾을 제품명"));
    EXPECT_EQ(e->text(), "x");
}

TEST(ECalendar, ArrowsMoveTheDayAndEnterChooses)
{
    TeCalendar cal;
    QString date = "2012-03-15";
    QString caption;
    WhenModal([&](QWidget* w) {
        auto* c = w->findChild<QCalendarWidget*>("Calendar");
        caption = w->findChild<QLabel*>("YM")->text();
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : c;
        QTest::keyClick(target, Qt::Key_Down);   // 22nd
        QTest::keyClick(target, Qt::Key_Right);  // 23rd
        QTest::keyClick(target, Qt::Key_Up);     // 16th
        QTest::keyClick(target, Qt::Key_Left);   // 15th
        QTest::keyClick(target, Qt::Key_Down);   // 22nd
        QTest::mouseClick(w->findChild<QLabel*>("nMon"), Qt::LeftButton);  // April
        QTest::keyClick(target, Qt::Key_Return);
    });
    EXPECT_TRUE(cal.Execute(date, 10, 10));
    EXPECT_EQ(caption, "2012년 3월");
    EXPECT_EQ(date, "2012-04-22");
}

TEST(ECalendar, EscAndTheCrossCancelAndABadPresetOpensOnToday)
{
    TeCalendar cal;
    QString date = "not a date";
    QDate shown;
    WhenModal([&](QWidget* w) {
        shown = w->findChild<QCalendarWidget*>("Calendar")->selectedDate();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w, Qt::Key_Escape);
    });
    EXPECT_FALSE(cal.Execute(date, 10, 10));
    EXPECT_EQ(date, "not a date");
    EXPECT_EQ(shown, QDate::currentDate());

    TeCalendar cal2;
    date = "2020-01-31";
    WhenModal([](QWidget* w) { QTest::mouseClick(w->findChild<QLabel*>("pnlCloseBtn"), Qt::LeftButton); });
    EXPECT_FALSE(cal2.Execute(date, 10, 10));
    EXPECT_EQ(date, "2020-01-31");
}

} // namespace
