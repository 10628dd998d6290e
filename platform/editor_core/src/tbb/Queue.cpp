#include "editor_core/tbb/Queue.h"

#include <velmora/Log.h>

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

namespace tbb {

// Lives on the worker thread; jobs run from its queued invocations, one per
// enqueued job, so they run in FIFO order.
class Queue::Worker : public QObject
{
public:
    using QObject::QObject;
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

void destroyAtExit()
{
    std::lock_guard<std::mutex> lock(g_instance_mutex);
    if (g_instance) {
        g_instance->shutdown();
        delete g_instance;
        g_instance = nullptr;
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
            g_instance = new Queue;
            g_shutting_down = false;
            if (!g_post_routine_added && QCoreApplication::instance()) {
                qAddPostRoutine(destroyAtExit);
                g_post_routine_added = true;
            }
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

Queue::Queue()
    : deliveries_(std::make_shared<Deliveries>())
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        if (thread() != app->thread())
            moveToThread(app->thread());
    }
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("tbb::Queue worker"));
    worker_ = new Worker;
    worker_->moveToThread(thread_);
    thread_->start();
    if (!thread_->isRunning() && !thread_->isFinished())
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
    if (!thread_->isRunning() && !thread_->isFinished() && !isStopping()) {
        thread_->start();
        if (!thread_->isRunning()) {
            Velmora::Log::error("Job queue: the system refuses a thread for the job; it is not run\n");
            return false;
        }
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
