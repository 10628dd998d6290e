#include "velmora/GlobalPoolThreads.h"

#include "thread_kit.h"

#include <QAccessible>
#include <QDir>
#include <QGuiApplication>
#include <QThreadPool>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace Velmora {

namespace {

// Threads held until it opens, counting those that arrived.
struct Gate
{
    std::mutex mutex;
    std::condition_variable changed;
    int arrived = 0;
    bool open = false;

    void pass()
    {
        std::unique_lock<std::mutex> lock(mutex);
        ++arrived;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        changed.notify_all();
    }
};

// The threads of this process as the system counts them (-1: unknown).
int threadsNow()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    return tasks.exists() ? int(tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()) : -1;
}

// A thread that has been joined may still count against the system's limit
// for a moment; waits (briefly) until the count is back to at most count.
void waitForThreadsGone(int count)
{
    constexpr int MOST_WAITS = 500;
    for (int i = 0; count >= 0 && i < MOST_WAITS && threadsNow() > count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Qt tells of a thread it could not start only in a warning, on the thread
// that asked for it: it is watched for while keep asks.
QtMessageHandler handler_before = nullptr;
std::atomic<bool> start_refused{false};

void watchThreadStarts(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("QThread::start: Thread creation error")))
        start_refused = true;
    if (handler_before)
        handler_before(type, context, message);
}

} // namespace

int GlobalPoolThreads::available(int most)
{
    const int before = threadsNow();
    Gate gate;
    int started = 0;
    {
        engine_internal::ThreadGroup probes;
        while (started < most && probes.start([&gate] { gate.pass(); }))
            ++started;
        gate.release();
    }
    waitForThreadsGone(before);
    return started;
}

int GlobalPoolThreads::keep(int count)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    // From an empty pool whose threads never expire: an idle thread that
    // ended would have to be started again later.
    pool->waitForDone();
    pool->setExpiryTimeout(-1);
    pool->setMaxThreadCount(std::max(1, count));

    const auto gate = std::make_shared<Gate>();
    start_refused = false;
    handler_before = qInstallMessageHandler(watchThreadStarts);
    int kept = 0;
    bool stranded = false;
    for (; kept < count; ++kept) {
        // Each waits at the gate, so that the next task needs a thread of
        // its own.
        pool->start([gate] { gate->pass(); });
        if (start_refused) {
            stranded = true;
            break;
        }
        std::unique_lock<std::mutex> lock(gate->mutex);
        constexpr auto START_WAIT = std::chrono::seconds(10);
        if (!gate->changed.wait_for(lock, START_WAIT, [&gate, kept] { return gate->arrived > kept; })) {
            stranded = true;
            break;
        }
    }
    qInstallMessageHandler(handler_before);
    handler_before = nullptr;
    gate->release();
    if (stranded)
        return -1;
    pool->setMaxThreadCount(std::max(1, kept));
    return kept;
}

int GlobalPoolThreads::share(int available, int needed, int most)
{
    if (available < needed)
        return 0;
    return std::max(1, std::min({int(engine_internal::workerCount()), most, (available - needed + 1) / 2}));
}

int GlobalPoolThreads::secure(int needed, int most, int *available)
{
    *available = GlobalPoolThreads::available(2 * most + needed);
    const int pool = share(*available, needed, most);
    if (pool == 0)
        return 0;
    return keep(pool) < 0 ? -1 : pool;
}

bool GlobalPoolThreads::usesSessionBus()
{
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

bool GlobalPoolThreads::startSessionBusThread()
{
    if (available(1) < 1)
        return false;
    QAccessible::isActive();
    return true;
}

} // namespace Velmora
