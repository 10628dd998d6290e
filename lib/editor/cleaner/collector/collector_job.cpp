#include "editor/cleaner/collector/collector_job.h"

namespace cleaner {

CollectorJob::CollectorJob(Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials, QObject *parent)
    : tbb::QJob(parent)
    , as_manager_(as_manager)
    , materials_(materials)
{}

CollectorJob::~CollectorJob() = default;

void CollectorJob::cancel()
{
    keep_running_ = false;
}

void CollectorJob::run(const tbb::JobPtr & /*self*/)
{
    // Progress and cancel in one place: a report is passed on only while
    // the job runs, and its answer tells the collector whether to go on.
    const Collector::Progress report = [this](int max, int value) {
        if (!keep_running_)
            return false;
        emit progress(max, value);
        return keep_running_.load();
    };
    const bool ok = Collector::collect(result_, as_manager_, materials_, report, options_);
    if (!keep_running_) {
        result_.clear();
        setStatus(STATUS_CANCELLED);
    } else if (!ok) {
        setStatus(STATUS_FAILED);
    }
}

Velmora::Vector<Velmora::UGUID> CollectorJob::unusedAssets() const
{
    return isFinished() ? result_.unused : Velmora::Vector<Velmora::UGUID>();
}

LostMap CollectorJob::lostAssets() const
{
    return isFinished() ? result_.lost : LostMap();
}

ReadFailures CollectorJob::readFailures() const
{
    return isFinished() ? result_.read_failures : ReadFailures();
}

bool CollectorJob::mayBeIncomplete() const
{
    return isFinished() && result_.mayBeIncomplete();
}

bool CollectorJob::isStale() const
{
    return isFinished() && result_.stale;
}

} // namespace cleaner
