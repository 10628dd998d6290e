#pragma once

#include <QEvent>
#include <QPointer>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

class QObject;

// Has a worker thread's closure run on the GUI thread and waits for it.
//
// On the GUI thread the closure runs at once. Elsewhere it is posted to the
// application object as an event whose destructor runs it, so any event loop
// of the GUI thread delivers it (a nested loop or a modal dialog included),
// and the worker waits in slices of at most the poll interval. The waiter is
// always released: when the event is destroyed without running the closure
// (application gone or closing down), or when the job queue shuts down or the
// application object is gone while it waits, the call answers false ("not
// run") and logs one warning. Callers treat false as a failure.
class MainThreadRunner
{
public:
    static constexpr int POLL_INTERVAL_MS = 100;

    // Returns the closure's result, true for a closure without result, and
    // false when the closure did not run.
    template<typename Closure>
    static bool run(Closure &&closure, int poll_interval_ms)
    {
        if constexpr (std::is_void_v<std::invoke_result_t<Closure &>>) {
            return runClosure(
                    [&closure]() {
                        closure();
                        return true;
                    },
                    poll_interval_ms);
        } else {
            return runClosure([&closure]() { return bool(closure()); }, poll_interval_ms);
        }
    }

    // Shared between the waiting worker and the posted event; it outlives
    // whichever of the two ends first.
    struct HandOver;

    // The posted event. Its type is QEvent::None, which the application
    // ignores; Qt destroys it after delivery (or when it discards it), and
    // the destructor runs the closure when the target still exists and the
    // application is not closing down. It always releases the waiter.
    class MainThreadEvent : public QEvent
    {
    public:
        MainThreadEvent(QObject *target, std::shared_ptr<HandOver> hand_over);
        ~MainThreadEvent() override;

    private:
        QPointer<QObject> target_;
        std::shared_ptr<HandOver> hand_over_;
    };

private:
    static bool runClosure(const std::function<bool()> &closure, int poll_interval_ms);
};
