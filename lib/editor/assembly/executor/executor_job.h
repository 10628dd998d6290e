#pragma once

#include <editor_core/tbb/QJob.h>

#include <atomic>
#include <memory>

namespace assembly {

class Executor;

// Carries one executor onto the job queue and runs it on the worker thread.
// Progress leaves as the progress signal (receivers on the GUI thread get it
// queued); cancel() clears the keep-going flag, which the worker reads at
// every progress report. A cancelled run ends with status 6 whatever the
// executor answered, a failed one with status 5.
class ExecutorJob : public tbb::QJob
{
    Q_OBJECT

public:
    explicit ExecutorJob(QObject *parent = nullptr);
    ~ExecutorJob() override;

    // Only while the job is neither queued nor running.
    void setExecutor(std::unique_ptr<Executor> executor);
    std::unique_ptr<Executor> takeExecutor();

    void cancel() override;
    bool isCancelled() const { return !keep_going_.load(); }

    void run(const tbb::JobPtr &self) override;

signals:
    void progress(int max, int value);

private:
    std::unique_ptr<Executor> executor_;
    std::atomic<bool> keep_going_{true};
};

} // namespace assembly
