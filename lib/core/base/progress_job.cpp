#include "core/base/progress_job.h"

namespace base {

ProgressJob::ProgressJob(QObject *parent)
    : tbb::QJob(parent)
{}

ProgressJob::~ProgressJob() = default;

void ProgressJob::cancel()
{
    keep_going_.store(false);
}

bool ProgressJob::isIdle() const
{
    return (getStatus() != JobStatus::STATUS_QUEUED) && (getStatus() != JobStatus::STATUS_RUNNING);
}

ProgressJob::ProgressCallback ProgressJob::progressCallback()
{
    last_max_ = -1;
    last_percent_ = -1;
    return [this](int max, int value) {
        if (!keep_going_.load())
            return false;
        const int percent = max > 0 ? int(qint64(value) * 100 / max) : 0;
        if (max != last_max_ || percent != last_percent_) {
            last_max_ = max;
            last_percent_ = percent;
            emit progress(max, value);
        }
        return keep_going_.load();
    };
}

void ProgressJob::finish(bool ok)
{
    if (!keep_going_.load())
        setStatus(JobStatus::STATUS_CANCELLED);
    else if (!ok)
        setStatus(JobStatus::STATUS_FAILED);
}

} // namespace base
