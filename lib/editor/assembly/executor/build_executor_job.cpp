#include "editor/assembly/executor/build_executor_job.h"

#include "editor/assembly/core/build_executor.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace assembly {

ExecutorJob::ExecutorJob(QObject *parent)
    : base::ProgressJob(parent)
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

void ExecutorJob::run(const tbb::JobPtr & /*self*/)
{
    EC_ASSERT(executor_);
    finish(executor_->execute(progressCallback()));
}

} // namespace assembly
