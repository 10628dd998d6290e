#pragma once

#include <QMetaType>

#include <atomic>
#include <memory>

namespace tbb {

class JobInterface;
using JobPtr = std::shared_ptr<JobInterface>;

// A unit of work for the job queue. The body runs once on the queue's worker
// thread; the queue reports completion on the GUI thread.
class JobInterface
{
public:
    enum JobStatus {
        STATUS_NONE = 0,
        STATUS_CREATED = 1,
        STATUS_QUEUED = 2,
        STATUS_RUNNING = 3,
        STATUS_DONE = 4,
        STATUS_FAILED = 5,
        STATUS_CANCELLED = 6,
    };

    virtual ~JobInterface() = default;

    virtual JobStatus getStatus() const = 0;
    virtual void setStatus(JobStatus status) = 0;
    // Finished = done, failed or cancelled.
    bool isFinished() const { return getStatus() >= STATUS_DONE; }
    bool isSuccess() const { return getStatus() == STATUS_DONE; }

    // The body, on the worker thread. A status the body sets stands; a job
    // still running when the body returns becomes done.
    virtual void run(const JobPtr &self) = 0;
    // Asks a running body to stop soon (typically by clearing an atomic
    // keep-running flag). Called from any thread; the default does nothing.
    virtual void cancel() {}

    // Called by the queue on the GUI thread once the job has ended (QJob
    // emits done from here).
    virtual void notifyDone(const JobPtr &self);
};

// JobInterface with the status held atomically.
class Job : public JobInterface
{
public:
    Job() = default;
    JobStatus getStatus() const override { return status_.load(); }
    void setStatus(JobStatus status) override { status_.store(status); }

private:
    std::atomic<JobStatus> status_{STATUS_CREATED};
};

} // namespace tbb

Q_DECLARE_METATYPE(tbb::JobPtr)
