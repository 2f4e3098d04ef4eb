#pragma once
// Helpers of the window tests: answering message boxes as they come up, waiting for a state and
// finding a named control.

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>

// Answers the message boxes as they come up and keeps their texts: OK for plain boxes, the
// scripted answers for questions (`whenDry` once the script has run out).
class BoxAnswerer : public QObject {
public:
    QStringList texts;
    QStringList questions;
    std::deque<bool> answers;
    bool whenDry = true;
    std::function<void(const QString&)> onBox;    // runs while the box is still up
    std::function<bool(QWidget*)> otherWindow;    // another window came up; true when it was dealt with

    explicit BoxAnswerer(std::deque<bool> script = {}, bool dry = true)
        : answers(std::move(script))
        , whenDry(dry)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(20);
    }

private:
    void Poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w->property("answered").toBool())
                continue;
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) {
                if (otherWindow && otherWindow(w))
                    w->setProperty("answered", true);
                continue;
            }
            box->setProperty("answered", true);
            texts << box->text();
            if (onBox)
                onBox(box->text());
            QAbstractButton* button = box->button(QMessageBox::Ok);
            if (!button) {
                questions << box->text();
                bool yes = whenDry;
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

// The window's control of that name and type; a test failure when there is none.
template <typename T>
T* Find(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}
