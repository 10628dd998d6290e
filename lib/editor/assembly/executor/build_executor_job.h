#pragma once

#include "core/base/progress_job.h"

#include <memory>

namespace assembly {

class Executor;

// Carries one executor onto the job queue and runs it on the worker thread.
// Progress, cancel and the end statuses are those of base::ProgressJob: a
// cancelled run ends with status 6 whatever the executor answered, a failed
// one with status 5.
class ExecutorJob : public base::ProgressJob
{
    Q_OBJECT

public:
    explicit ExecutorJob(QObject *parent = nullptr);
    ~ExecutorJob() override;

    // Only while the job is neither queued nor running.
    void setExecutor(std::unique_ptr<Executor> executor);
    std::unique_ptr<Executor> takeExecutor();

    void run(const tbb::JobPtr &self) override;

private:
    std::unique_ptr<Executor> executor_;
};

} // namespace assembly
