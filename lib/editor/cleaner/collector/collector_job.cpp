#include "editor/cleaner/collector/collector_job.h"

namespace cleaner {

CollectorJob::CollectorJob(Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials, QObject *parent)
    : base::ProgressJob(parent)
    , as_manager_(as_manager)
    , materials_(materials)
{}

CollectorJob::~CollectorJob() = default;

void CollectorJob::run(const tbb::JobPtr & /*self*/)
{
    const bool ok = Collector::collect(result_, as_manager_, materials_, progressCallback(), options_);
    if (isCancelled())
        result_.clear();
    finish(ok);
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

QVector<RefusedAsset> CollectorJob::refusedAssets() const
{
    return isFinished() ? result_.refused : QVector<RefusedAsset>();
}

QVector<LinkNote> CollectorJob::linkNotes() const
{
    return isFinished() ? result_.links : QVector<LinkNote>();
}

std::shared_ptr<ReadStamps> CollectorJob::readStamps() const
{
    return isFinished() ? result_.stamps : nullptr;
}

} // namespace cleaner
