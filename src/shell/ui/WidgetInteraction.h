#pragma once
// The windows' side of Interaction: message boxes, the message pane, progress bars, labels
// and the Esc flag. Safe to call from a worker thread: boxes block the worker until the
// operator answers on the window thread (or the window abandons the run); pane, bars and
// labels are updated queued.

#include "shell/Interaction.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QWaitCondition>
#include <atomic>
#include <functional>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QWidget>

// The plain OK box and the Yes/No question (No preselected, caption "VUX - Quilo Maker").
void ShowInfoBox(QWidget* parent, const QString& text);
bool AskYesNoBox(QWidget* parent, const QString& text);

class WidgetInteraction : public QObject, public Interaction {
    Q_OBJECT
public:
    explicit WidgetInteraction(QWidget* owner);

    void setMessagePane(QPlainTextEdit* pane) { m_pane = pane; }
    void setProgressBars(const QList<QProgressBar*>& bars);
    void setStatusLabels(const QList<QLabel*>& labels);

    void ShowInfo(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    void Report(const QString& line) override;
    void Progress(int bar, qint64 position, qint64 maximum) override;
    void Status(int slot, const QString& text) override;
    bool StopRequested() override { return m_stop.load() || m_abandoned.load(); }
    void ClearStop() override { m_stop = false; }

    // Esc in the window.
    void RequestStop() { m_stop = true; }
    // The window goes while its worker runs: from now on the stop flag stays set, and a box
    // the worker waits for or asks for later is not shown and counts as No (a stop question
    // answered No lets the run go on to its end). Call before waiting for the worker on the
    // window thread, which could otherwise wait for a box it never shows.
    void Abandon();

private:
    // Runs `box` on the window thread; a worker waits for it. False without running it once
    // the run is abandoned.
    bool OnWindow(const std::function<bool()>& box);

    QPointer<QWidget> m_owner;
    QPointer<QPlainTextEdit> m_pane;
    QList<QPointer<QProgressBar>> m_bars;
    QList<QPointer<QLabel>> m_labels;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abandoned{false};
    QMutex m_lock;
    QWaitCondition m_answered;
};
