#include "editor_core/tbb/Queue.h"

#include "../base/ThreadKit.h"

#include <velmora/Log.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <condition_variable>

namespace tbb {

// Lives on the worker thread; jobs run from its queued invocations, one per
// enqueued job, so they run in FIFO order.
class Queue::Worker : public QObject
{
public:
    using QObject::QObject;
};

// The worker's thread: an event loop, for jobs that need one (a QProcess).
// A thread started ahead of its queue, maybe before the application exists
// (without which an event loop does not run), waits until it is opened: by
// the queue that takes it, or to end without a loop.
class QueueThread : public QThread
{
public:
    QueueThread() { setObjectName(QStringLiteral("tbb::Queue worker")); }

    void open(bool run_loop)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            opened_ = true;
            run_loop_ = run_loop;
        }
        opened_changed_.notify_all();
    }

protected:
    void run() override
    {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            opened_changed_.wait(lock, [this] { return opened_; });
            if (!run_loop_)
                return;
        }
        exec();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_changed_;
    bool opened_ = false;
    bool run_loop_ = false;
};

// The jobs whose completion has not been delivered yet. Shared with the
// delivery closures, which may run after the queue is gone.
struct Queue::Deliveries
{
    std::mutex mutex;
    std::vector<JobPtr> jobs;

    void add(const JobPtr &job)
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.push_back(job);
    }

    // True for the first call per job: that call delivers.
    bool take(const JobPtr &job)
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = std::find(jobs.begin(), jobs.end(), job);
        if (it == jobs.end())
            return false;
        jobs.erase(it);
        return true;
    }

    std::vector<JobPtr> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return jobs;
    }
};

namespace {
std::mutex g_instance_mutex;
Queue *g_instance = nullptr;
std::atomic<bool> g_shutting_down{false};
bool g_post_routine_added = false;
// Started by startWorkerAhead, until a queue takes it.
QueueThread *g_worker_ahead = nullptr;

void destroyAtExit();

// With g_instance_mutex held. Post routines run as the application goes;
// one added before it exists waits for it.
void addPostRoutine()
{
    if (!g_post_routine_added) {
        qAddPostRoutine(destroyAtExit);
        g_post_routine_added = true;
    }
}

void destroyAtExit()
{
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (g_instance) {
        g_instance->shutdown();
        delete g_instance;
        g_instance = nullptr;
    }
    if (g_worker_ahead) {
        g_worker_ahead->open(false);
        g_worker_ahead->wait();
        delete g_worker_ahead;
        g_worker_ahead = nullptr;
    }
}
} // namespace

Queue *Queue::instance()
{
    Queue *old = nullptr;
    Queue *result = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_instance_mutex);
        if (g_instance && g_instance->isStopping()) {
            old = g_instance;
            g_instance = nullptr;
        }
        if (!g_instance) {
            g_instance = new Queue(g_worker_ahead);
            g_worker_ahead = nullptr;
            g_shutting_down = false;
            addPostRoutine();
        }
        result = g_instance;
    }
    delete old;
    return result;
}

bool Queue::isShuttingDown()
{
    return g_shutting_down.load();
}

bool Queue::startWorkerAhead()
{
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (g_worker_ahead || (g_instance && !g_instance->isStopping() && g_instance->hasWorker()))
        return true;
    auto *thread = new QueueThread;
    if (!Editor::core_internal::startQThread(*thread)) {
        delete thread;
        return false;
    }
    g_worker_ahead = thread;
    addPostRoutine();
    return true;
}

Queue::Queue(QueueThread *worker_thread)
    : deliveries_(std::make_shared<Deliveries>())
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        if (thread() != app->thread())
            moveToThread(app->thread());
    }
    thread_ = worker_thread ? worker_thread : new QueueThread;
    worker_ = new Worker;
    worker_->moveToThread(thread_);
    thread_->open(true);
    if (!worker_thread && !Editor::core_internal::startQThread(*thread_))
        Velmora::Log::warning("Job queue: the system refused its thread; it is asked for again with the first job\n");
}

Queue::~Queue()
{
    shutdown();
    delete worker_;
    delete thread_;
}

bool Queue::enqueue(const JobPtr &job)
{
    if (!job) {
        Velmora::Log::error("Job queue: a null job cannot be queued\n");
        return false;
    }
    // A worker the system refused runs nothing: the job is refused rather
    // than left waiting for ever.
    if (!thread_->isRunning() && !thread_->isFinished() && !isStopping()
        && !Editor::core_internal::startQThread(*thread_)) {
        Velmora::Log::error("Job queue: the system refuses a thread for the job; it is not run\n");
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            Velmora::Log::warning("Job queue: shutting down, the job is not queued\n");
            return false;
        }
        job->setStatus(JobInterface::STATUS_QUEUED);
        pending_.push_back(job);
        deliveries_->add(job);
    }
    QMetaObject::invokeMethod(
            worker_, [this] { runNext(); }, Qt::QueuedConnection);
    return true;
}

void Queue::runNext()
{
    JobPtr job;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || pending_.empty())
            return;
        job = pending_.front();
        pending_.pop_front();
        running_ = job;
    }
    // A job its owner finished while it waited is not run, but still reported.
    if (!job->isFinished()) {
        job->setStatus(JobInterface::STATUS_RUNNING);
        job->run(job);
        if (job->getStatus() == JobInterface::STATUS_RUNNING)
            job->setStatus(JobInterface::STATUS_DONE);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.reset();
    }
    deliverDone(job);
}

void Queue::deliverDone(const JobPtr &job)
{
    // The functor holds the job until it has been delivered. It is queued on
    // the application object, so that a completion that a shutdown sends
    // still arrives after the queue is gone; each job is reported once.
    QObject *context = QCoreApplication::instance();
    if (!context || QCoreApplication::closingDown())
        return; // no event loop will ever run it
    std::shared_ptr<Deliveries> deliveries = deliveries_;
    QMetaObject::invokeMethod(
            context,
            [deliveries, job] {
                if (deliveries->take(job))
                    job->notifyDone(job);
            },
            Qt::QueuedConnection);
}

void Queue::shutdown()
{
    JobPtr running;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ && !thread_->isRunning())
            return;
        stopping_ = true;
        if (g_instance == this)
            g_shutting_down = true;
        for (const JobPtr &job : pending_)
            job->setStatus(JobInterface::STATUS_CANCELLED);
        pending_.clear();
        running = running_;
    }
    if (running)
        running->cancel();
    thread_->quit();
    thread_->wait();

    // Whoever waits for a job hears of its end: every job not reported yet
    // (queued, cancelled while running, or done with its report still on the
    // way) is reported as cancelled; a failure stays a failure.
    for (const JobPtr &job : deliveries_->snapshot()) {
        if (job->getStatus() != JobInterface::STATUS_FAILED) {
            job->cancel();
            job->setStatus(JobInterface::STATUS_CANCELLED);
        }
        deliverDone(job);
    }
}

bool Queue::hasWorker() const
{
    return thread_->isRunning();
}

bool Queue::isStopping() const
{
    return stopping_.load();
}

int Queue::pendingCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return int(pending_.size());
}

} // namespace tbb
