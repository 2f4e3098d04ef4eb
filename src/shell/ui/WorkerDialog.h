#pragma once
// A modal step whose work runs on a worker thread: while it runs, Esc and closing the window
// only ask the work to stop; the window goes once the worker has ended.

#include "shell/ui/WidgetInteraction.h"

#include <QDialog>
#include <QThread>

class TWorkerDialog : public QDialog {
    Q_OBJECT
public:
    bool isRunning() const { return m_worker != nullptr; }
    void reject() override;

protected:
    explicit TWorkerDialog(QWidget* parent = nullptr);

    // For destructors: should the window go during a run, let the worker end first.
    void StopAndWaitWorker();
    // The OK/cancel pair sits centred in its panel, 30 pixels apart.
    static void CenterButtonPair(QWidget* panel, QWidget* left, QWidget* right);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    QThread* m_worker = nullptr;
    WidgetInteraction* m_ui = nullptr;
};
