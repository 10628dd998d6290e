#pragma once

#include "core/base/progress_job.h"

#include <memory>

namespace inas {

class Executor;
class ResultData;

// Runs one dependency analysis on the job queue's worker. Progress, cancel
// and the end statuses are those of base::ProgressJob: a run without a
// result ends failed (5), a cancelled one cancelled (6); otherwise the queue
// marks it done and takeResult() gives the result.
class ExecutorJob : public base::ProgressJob
{
    Q_OBJECT

public:
    explicit ExecutorJob(QObject *parent = nullptr);
    ~ExecutorJob() override;

    // Neither while the job is queued or running.
    void setExecutor(std::unique_ptr<Executor> executor);
    std::unique_ptr<ResultData> takeResult();

    void run(const tbb::JobPtr &self) override;

private:
    std::unique_ptr<Executor> executor_;
    std::unique_ptr<ResultData> result_;
};

} // namespace inas
