#include "editor/interdependence/executor_job.h"

#include "editor/interdependence/executor.h"
#include "editor/interdependence/result_data.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace inas {

ExecutorJob::ExecutorJob(QObject *parent)
    : tbb::QJob(parent)
{}

ExecutorJob::~ExecutorJob() = default;

bool ExecutorJob::isIdle() const
{
    return (getStatus() != JobStatus::STATUS_QUEUED) && (getStatus() != JobStatus::STATUS_RUNNING);
}

void ExecutorJob::setExecutor(std::unique_ptr<Executor> executor)
{
    EC_ASSERT(isIdle());
    executor_ = std::move(executor);
}

std::unique_ptr<ResultData> ExecutorJob::takeResult()
{
    EC_ASSERT(isIdle());
    return std::move(result_);
}

void ExecutorJob::cancel()
{
    keep_going_.store(false);
}

void ExecutorJob::run(const tbb::JobPtr & /*self*/)
{
    EC_ASSERT(executor_);
    last_max_ = -1;
    last_percent_ = -1;
    std::unique_ptr<ResultData> result = executor_->execute([this](int max, int value) {
        if (!keep_going_.load())
            return false;
        const int percent = max > 0 ? value * 100 / max : 0;
        if (max != last_max_ || percent != last_percent_) {
            last_max_ = max;
            last_percent_ = percent;
            emit progress(max, value);
        }
        return keep_going_.load();
    });
    if (!keep_going_.load()) {
        setStatus(JobStatus::STATUS_CANCELLED);
        return;
    }
    if (result)
        result_ = std::move(result);
    else
        setStatus(JobStatus::STATUS_FAILED);
}

} // namespace inas
