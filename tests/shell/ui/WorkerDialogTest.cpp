// A modal step's worker when its window goes: the wait neither shows the worker's boxes nor
// trips over the run's own "finished" handler.

#include "shell/ui/WorkerDialog.h"

#include "common/TestSupport.h"
#include "common/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>

namespace {

// A step whose run ends the way every step's does: its handler forgets the worker.
class TestStep : public TWorkerDialog {
public:
    TestStep() { m_ui = new WidgetInteraction(this); }
    ~TestStep() override { StopAndWaitWorker(); }
    WidgetInteraction* ui() const { return m_ui; }
    QThread* Start(const std::function<void()>& work)
    {
        m_worker = QThread::create(work);
        connect(m_worker, &QThread::finished, this, [this] {
            m_worker->deleteLater();
            m_worker = nullptr;
        });
        m_worker->start();
        return m_worker;
    }
};

} // namespace

TEST(WorkerDialog, GoingAnswersTheWorkersQuestionNoWithoutABox)
{
    BoxAnswerer boxes; // would answer Yes to a box that comes up
    auto* step = new TestStep;
    std::atomic<int> answer{-1};
    WidgetInteraction* ui = step->ui();
    step->Start([ui, &answer] { answer = ui->AskYesNo(QStringLiteral("계속합니까?")); });
    ReturnsWithin(20, "~TestStep", [&] { delete step; });
    EXPECT_EQ(answer, 0);
    QTest::qWait(50);
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST(WorkerDialog, TheRunsFinishedHandlerMayRunInsideTheWait)
{
    auto* step = new TestStep;
    std::atomic<bool> go{false};
    QThread* worker = step->Start([&go] {
        while (!go)
            QThread::msleep(1);
    });
    // Inside the wait: the worker ends, and its "finished" handler is delivered in the same round.
    QTimer::singleShot(0, [&go, worker] {
        go = true;
        worker->wait();
    });
    ReturnsWithin(20, "~TestStep", [&] { delete step; });
    QTest::qWait(50);
}
