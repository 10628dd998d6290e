#pragma once

#include <editor_core/tbb/QJob.h>

#include <atomic>
#include <memory>

namespace inas {

class Executor;
class ResultData;

// Runs one dependency analysis on the job queue's worker. Its progress
// reaches the GUI through the queued signal progress(max, value); cancel()
// clears the keep-going flag, which the worker reads at every report. A run
// without a result ends failed (5), a cancelled one cancelled (6); otherwise
// the queue marks it done and takeResult() gives the result.
class ExecutorJob : public tbb::QJob
{
    Q_OBJECT

public:
    explicit ExecutorJob(QObject *parent = nullptr);
    ~ExecutorJob() override;

    // Neither while the job is queued or running.
    void setExecutor(std::unique_ptr<Executor> executor);
    std::unique_ptr<ResultData> takeResult();

    // Any thread.
    void cancel() override;
    bool isCancelled() const { return !keep_going_.load(); }

    void run(const tbb::JobPtr &self) override;

signals:
    // Emitted on the worker thread, only when the shown percentage (or the
    // range) changes: a large project reports far more steps than a progress
    // bar can show.
    void progress(int max, int value);

private:
    bool isIdle() const;

    std::unique_ptr<Executor> executor_;
    std::unique_ptr<ResultData> result_;
    std::atomic<bool> keep_going_{true};
    // The last emitted range and percentage (worker thread only).
    int last_max_ = -1;
    int last_percent_ = -1;
};

} // namespace inas
