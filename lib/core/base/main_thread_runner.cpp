#include "core/base/main_thread_runner.h"

#include <editor_core/tbb/Queue.h>
#include <velmora/Engine.h>

#include <QCoreApplication>
#include <QtDebug>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

struct MainThreadRunner::HandOver
{
    enum class State { Waiting, Running, Ran, NotRun, Abandoned };

    std::function<bool()> closure;
    std::mutex mutex;
    std::condition_variable changed;
    State state = State::Waiting;
    bool result = false;
};

MainThreadRunner::MainThreadEvent::MainThreadEvent(QObject *target, std::shared_ptr<HandOver> hand_over)
    : QEvent(QEvent::None)
    , target_(target)
    , hand_over_(std::move(hand_over))
{}

MainThreadRunner::MainThreadEvent::~MainThreadEvent()
{
    HandOver &hand_over = *hand_over_;
    {
        std::lock_guard<std::mutex> lock(hand_over.mutex);
        if (hand_over.state != HandOver::State::Waiting)
            return; // the waiter gave up; its closure may refer to a stack that is gone
        const bool runnable = !target_.isNull() && QCoreApplication::instance() && !QCoreApplication::closingDown();
        if (!runnable) {
            hand_over.state = HandOver::State::NotRun;
            hand_over.changed.notify_all();
            return;
        }
        hand_over.state = HandOver::State::Running;
    }
    // The waiter cannot give up while the closure runs, so its stack stays.
    const bool result = hand_over.closure();
    std::lock_guard<std::mutex> lock(hand_over.mutex);
    hand_over.result = result;
    hand_over.state = HandOver::State::Ran;
    hand_over.changed.notify_all();
}

bool MainThreadRunner::runClosure(const std::function<bool()> &closure, int poll_interval_ms)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) {
        qWarning() << "MainThreadRunner: there is no application object; the closure did not run.";
        return false;
    }
    if (Velmora::Engine::isMainThread())
        return closure();

    auto hand_over = std::make_shared<HandOver>();
    hand_over->closure = closure;
    QPointer<QCoreApplication> guarded(application);
    QCoreApplication::postEvent(application, new MainThreadEvent(application, hand_over), Qt::HighEventPriority);

    const auto slice = std::chrono::milliseconds(std::max(1, poll_interval_ms));
    std::unique_lock<std::mutex> lock(hand_over->mutex);
    for (;;) {
        hand_over->changed.wait_for(lock, slice, [&hand_over]() {
            return hand_over->state == HandOver::State::Ran || hand_over->state == HandOver::State::NotRun;
        });
        if (hand_over->state == HandOver::State::Ran)
            return hand_over->result;
        if (hand_over->state == HandOver::State::NotRun) {
            qWarning() << "MainThreadRunner: the GUI thread discarded the closure without running it.";
            return false;
        }
        if (hand_over->state == HandOver::State::Running)
            continue; // the GUI thread is running it now
        if (tbb::Queue::isShuttingDown() || guarded.isNull() || !QCoreApplication::instance()
            || QCoreApplication::closingDown()) {
            hand_over->state = HandOver::State::Abandoned;
            qWarning() << "MainThreadRunner: gave up waiting for the GUI thread (job queue shutting down or"
                          " application gone); the closure did not run.";
            return false;
        }
    }
}
