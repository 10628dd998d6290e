#pragma once

#include "editor_core/tbb/Job.h"

#include <QObject>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

namespace tbb {

class QueueThread;

// What users of the job queue need: enqueue, shut down, ask whether it is
// shutting down.
class QueueInterface
{
public:
    virtual ~QueueInterface() = default;
    // Queues the job (status 2) and keeps the handle until the job has ended.
    // Returns false (and leaves the job alone) once the queue shuts down, or
    // when the system gives it no thread to run the job on.
    virtual bool enqueue(const JobPtr &job) = 0;
    // Refuses new jobs, marks queued jobs cancelled (6) without running them,
    // cancels the running job and waits for it, and joins the worker. Every
    // job whose completion was not delivered yet is then cancelled (unless it
    // failed) and its completion is delivered through the event loop, so
    // that nobody waits for it forever. No job runs after it returns.
    virtual void shutdown() = 0;
    virtual bool isStopping() const = 0;
};

// The process-wide job queue: one worker QThread with its own event loop
// running jobs one at a time in FIFO order. Completion (QJob::done) reaches
// the GUI thread through the event loop.
class Queue : public QObject, public QueueInterface
{
    Q_OBJECT

public:
    // The queue, made on first use; after a shutdown the next call makes a
    // fresh queue (tests). Call it on the GUI thread.
    static Queue *instance();
    // True from the start of a shutdown until a fresh queue is made. Safe
    // from any thread and never creates a queue, so waits on other threads
    // can give up instead of waiting for a job that will never run.
    static bool isShuttingDown();
    // Starts the worker thread of the next queue made, ahead of that queue
    // (and of the application, which may not exist yet): a start-up keeps
    // the thread its jobs need before anything else can take the last one
    // the system gives. Its event loop begins once the queue is made. True
    // when such a worker waits (or already did); false when the system
    // refuses the thread.
    static bool startWorkerAhead();

    bool enqueue(const JobPtr &job) override;
    void shutdown() override;
    bool isStopping() const override;

    // True while the worker thread runs. A queue whose worker the system
    // refused asks for it again with each job, and refuses the job while it
    // gets none: a refusal by a queue that is not stopping has this cause.
    bool hasWorker() const;

    // Jobs queued and not started yet (tests).
    int pendingCount() const;

    ~Queue() override;

private:
    // Takes worker_thread (started ahead) when given, else starts its own.
    explicit Queue(QueueThread *worker_thread);
    void runNext();
    void deliverDone(const JobPtr &job);

    struct Deliveries;
    std::shared_ptr<Deliveries> deliveries_;

    class Worker;
    QueueThread *thread_ = nullptr;
    Worker *worker_ = nullptr;
    mutable std::mutex mutex_;
    std::deque<JobPtr> pending_;
    JobPtr running_;
    std::atomic<bool> stopping_{false};
};

} // namespace tbb
