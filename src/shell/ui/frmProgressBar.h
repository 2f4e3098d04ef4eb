#pragma once
// The small progress window of long loads: a text line, a bar, a counter, the elapsed time,
// and Esc to ask for a stop. The caller creates it, polls PressESC at its progress points
// (asking "취소합니까?" and clearing the flag on No) and frees it when done.

#include <QDateTime>
#include <QWidget>
#include <atomic>

class QFrame;
class QLabel;
class QProgressBar;
class QTimer;

class TfrmProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit TfrmProgressBar(QWidget* parent = nullptr);

    void ShowLoadingText(const QString& text);

    QFrame* Shape1 = nullptr;
    QLabel* mLoadingeText = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LabelTiming = nullptr;

    // Set by Esc; read from a worker thread too.
    std::atomic<bool> PressESC{false};
    QDateTime StartTime;

signals:
    // Esc was pressed (for callers that stop a worker through its interaction).
    void escPressed();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CentreOnMainWindow();
    QTimer* m_timer = nullptr;
};
