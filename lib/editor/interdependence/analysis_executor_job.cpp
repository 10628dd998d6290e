#include "editor/interdependence/analysis_executor_job.h"

#include "editor/interdependence/analysis_executor.h"
#include "editor/interdependence/result_data.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace inas {

ExecutorJob::ExecutorJob(QObject *parent)
    : base::ProgressJob(parent)
{}

ExecutorJob::~ExecutorJob() = default;

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

void ExecutorJob::run(const tbb::JobPtr & /*self*/)
{
    EC_ASSERT(executor_);
    std::unique_ptr<ResultData> result = executor_->execute(progressCallback());
    // A cancelled run drops whatever it produced.
    if (result && !isCancelled())
        result_ = std::move(result);
    finish(bool(result_));
}

} // namespace inas
