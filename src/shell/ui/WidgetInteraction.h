#pragma once
// The windows' side of Interaction: message boxes, the message pane, progress bars, labels
// and the Esc flag. Safe to call from a worker thread: boxes block the worker until the
// operator answers on the window thread; pane, bars and labels are updated queued.

#include "shell/Interaction.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <atomic>

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
    bool StopRequested() override { return m_stop.load(); }
    void ClearStop() override { m_stop = false; }

    // Esc in the window.
    void RequestStop() { m_stop = true; }

private:
    QPointer<QWidget> m_owner;
    QPointer<QPlainTextEdit> m_pane;
    QList<QPointer<QProgressBar>> m_bars;
    QList<QPointer<QLabel>> m_labels;
    std::atomic<bool> m_stop{false};
};
