#include "shell/ui/frmProgressBar.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

TEST(ProgressBarWindow, EscSetsTheStopFlagAndOtherKeysDoNot)
{
    TfrmProgressBar w;
    EXPECT_EQ(w.size(), QSize(429, 64));
    EXPECT_EQ(w.LabelTiming->text(), "00:00:00");
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    w.show();
    w.ShowLoadingText("읽는 중");
    EXPECT_EQ(w.mLoadingeText->text(), "읽는 중");

    QSignalSpy esc(&w, &TfrmProgressBar::escPressed);
    QTest::keyClick(&w, Qt::Key_A);
    EXPECT_FALSE(w.PressESC);
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.PressESC);
    EXPECT_EQ(esc.count(), 1);
    w.PressESC = false;
    w.ProgressBar->setValue(40);
    w.Label1->setText("12 / 30");
    if (qEnvironmentVariableIsSet("QUILO_SHOT_DIR"))
        w.grab().save(qEnvironmentVariable("QUILO_SHOT_DIR") + "/frmProgressBar.png");

    // The elapsed time starts ticking after a second.
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.LabelTiming->text().startsWith("경과시간 00:00:0"); }, 3000));
}

TEST(ProgressBarWindow, CentredOnTheWindowItServes)
{
    QWidget main;
    main.setGeometry(100, 80, 700, 500);
    main.show();
    TfrmProgressBar w(&main);
    w.show();
    EXPECT_LE((w.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 2);
    EXPECT_TRUE(w.isWindow());
}
