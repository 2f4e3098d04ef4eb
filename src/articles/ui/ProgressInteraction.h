#pragma once
// Progress of short work that runs on the window thread (loading an index, checking a text):
// the program's progress window, shown only while the work runs, that Esc asks to stop.

#include "shell/Interaction.h"

#include <QPointer>
#include <QWidget>

class TfrmProgressBar;

class TProgressInteraction : public Interaction {
public:
    explicit TProgressInteraction(QWidget* owner, bool showWindow);
    ~TProgressInteraction() override;

    void ShowInfo(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    // Bar 0 is the window's bar; label 0 its counter, label 1 its text.
    void Progress(int bar, qint64 position, qint64 maximum) override;
    void Status(int slot, const QString& text) override;
    bool StopRequested() override;
    void ClearStop() override;

    void setShowWindow(bool on);
    void close();

private:
    void ensureWindow();
    void pump();

    QPointer<QWidget> m_owner;
    bool m_show = false;
    bool m_stop = false;
    QPointer<TfrmProgressBar> m_window;
};
