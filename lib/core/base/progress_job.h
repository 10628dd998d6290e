#pragma once

#include <editor_core/tbb/QJob.h>

#include <atomic>
#include <functional>

namespace base {

// The common part of every long editor job that runs on the job queue with
// a progress bar and a Cancel button (the build, the dependency analysis,
// the asset cleaner's collection).
//
// A subclass overrides run(): it hands the work progressCallback(), lets the
// work run, and ends with finish(ok). The callback emits progress(max, value)
// only when the shown whole percentage (or the range) changes, so a job of a
// million steps sends about a hundred signals; it answers the keep-going
// flag, so the work stops at its next report once cancel() was called.
// finish() sets the status: cancelled (6) whenever cancel() came, whatever
// the work answered; failed (5) when the work failed; otherwise the queue
// marks the job done.
//
// Threads: cancel() and isCancelled() from any thread; progress is emitted
// on the worker (connect GUI receivers queued, or use JobProgressDialog).
class ProgressJob : public tbb::QJob
{
    Q_OBJECT

public:
    // (max, value) with max > 0 and 0 <= value <= max; false: stop.
    using ProgressCallback = std::function<bool(int max, int value)>;

    explicit ProgressJob(QObject *parent = nullptr);
    ~ProgressJob() override;

    // Clears the keep-going flag. Any thread, any time.
    void cancel() override;
    bool isCancelled() const { return !keep_going_.load(); }

signals:
    // Worker thread; only when the shown percentage or the range changed.
    void progress(int max, int value);

protected:
    // For run(): a callback for the work, fresh for every run.
    ProgressCallback progressCallback();
    // For run(), at its end: the status from the flag and the work's answer.
    void finish(bool ok);
    // Neither queued nor running: the time to hand work in or take results out.
    bool isIdle() const;

private:
    std::atomic<bool> keep_going_{true};
    // The last emitted range and percentage (worker thread only).
    int last_max_ = -1;
    int last_percent_ = -1;
};

} // namespace base
