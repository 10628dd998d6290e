#include "editor/assembly/executor/executor_job.h"

#include "editor/assembly/core/executor.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace assembly {

ExecutorJob::ExecutorJob(QObject *parent)
    : tbb::QJob(parent)
{}

ExecutorJob::~ExecutorJob() = default;

void ExecutorJob::setExecutor(std::unique_ptr<Executor> executor)
{
    EC_ASSERT((getStatus() != JobStatus::STATUS_QUEUED) && (getStatus() != JobStatus::STATUS_RUNNING));
    executor_ = std::move(executor);
}

std::unique_ptr<Executor> ExecutorJob::takeExecutor()
{
    EC_ASSERT((getStatus() != JobStatus::STATUS_QUEUED) && (getStatus() != JobStatus::STATUS_RUNNING));
    return std::move(executor_);
}

void ExecutorJob::cancel()
{
    keep_going_.store(false);
}

void ExecutorJob::run(const tbb::JobPtr & /*self*/)
{
    EC_ASSERT(executor_);
    const bool result = executor_->execute([this](int max, int value) {
        if (!keep_going_.load())
            return false;
        emit progress(max, value);
        return true;
    });
    if (!keep_going_.load())
        setStatus(JobStatus::STATUS_CANCELLED);
    else if (!result)
        setStatus(JobStatus::STATUS_FAILED);
}

} // namespace assembly
