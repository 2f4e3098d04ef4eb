#pragma once
// Helpers of the window tests: answering message boxes as they come up, and waiting for a state.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

// Answers the message boxes as they come up (Yes, or the scripted answers) and keeps their texts.
class BoxAnswerer : public QObject {
public:
    QStringList texts;
    std::deque<bool> answers;

    BoxAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(20);
    }

private:
    void Poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible() || box->property("answered").toBool())
                continue;
            box->setProperty("answered", true);
            texts << box->text();
            QAbstractButton* button = box->button(QMessageBox::Ok);
            if (!button) {
                bool yes = true;
                if (!answers.empty()) {
                    yes = answers.front();
                    answers.pop_front();
                }
                button = box->button(yes ? QMessageBox::Yes : QMessageBox::No);
            }
            QTimer::singleShot(0, button, &QAbstractButton::click);
        }
    }
    QTimer m_timer;
};

// Processes events until `done` holds; false when `ms` passed first.
inline bool WaitFor(const std::function<bool()>& done, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}
