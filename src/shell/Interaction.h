#pragma once
// How logic talks to the operator: the windows answer with message boxes and progress bars,
// the command line with stderr/stdout, the tests with a script.

#include <QString>
#include <QStringList>
#include <QtGlobal>

class Interaction {
public:
    virtual ~Interaction() = default;
    // A plain message with an OK button.
    virtual void ShowInfo(const QString& text) = 0;
    // A Yes/No question, No preselected; only Yes returns true.
    virtual bool AskYesNo(const QString& text) = 0;
    // One line of the window's message pane.
    virtual void Report(const QString& line) { Q_UNUSED(line); }
    // Progress of bar number `bar` (windows with several bars number them from 0).
    virtual void Progress(int bar, qint64 position, qint64 maximum)
    {
        Q_UNUSED(bar);
        Q_UNUSED(position);
        Q_UNUSED(maximum);
    }
    // A status text such as a counter label; `slot` numbers the labels of a window.
    virtual void Status(int slot, const QString& text)
    {
        Q_UNUSED(slot);
        Q_UNUSED(text);
    }
    // Esc was pressed; polled at progress points.
    virtual bool StopRequested() { return false; }
    virtual void ClearStop() {}
};

// Polls Esc the way every long loop does: on a pending stop, ask "취소합니까?";
// No clears the flag and the work goes on. Returns true when the work must stop.
bool ConfirmStop(Interaction& ui);

// Keeps the messages for the thread that shows them (work done ahead on another thread); every
// question is answered No.
class TRecordedMessages : public Interaction {
public:
    QStringList messages;
    void ShowInfo(const QString& text) override { messages << text; }
    bool AskYesNo(const QString&) override { return false; }
};

// Command line: boxes and message-pane lines go to stderr (stdout is kept for a command's
// result), questions are answered Yes.
class ConsoleInteraction : public Interaction {
public:
    void ShowInfo(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    void Report(const QString& line) override;
};
