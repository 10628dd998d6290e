#pragma once

#include "editor/cleaner/collector/collector.h"
#include "editor/cleaner/collector/collector_result.h"

#include <core/base/progress_job.h>

namespace Editor {
class AssetManagerPrivate;
}
namespace mat {
class Manager;
}

namespace cleaner {

// A collection on the job queue's worker, with the progress and cancel of
// every editor job (base::ProgressJob): progress(max, value) from the worker
// whenever the shown percentage changes, cancel() from any thread stops the
// run at its next report. The job ends cancelled (6) after a cancel, failed
// (5) when the collection failed, otherwise done; the results are read
// after done().
class CollectorJob : public base::ProgressJob
{
    Q_OBJECT

public:
    CollectorJob(Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials, QObject *parent = nullptr);
    ~CollectorJob() override;

    void run(const tbb::JobPtr &self) override;

    // Copies of the results; empty until the job has finished.
    Velmora::Vector<Velmora::UGUID> unusedAssets() const;
    LostMap lostAssets() const;
    ReadFailures readFailures() const;
    // Whether the unused list may miss uses (unreadable files, or the
    // project changed during the run); false until the job has finished.
    bool mayBeIncomplete() const;
    bool isStale() const;
    QVector<RefusedAsset> refusedAssets() const;
    // The data folder's symbolic links and what was done with each.
    QVector<LinkNote> linkNotes() const;
    // What the collection read; null until the job has finished.
    std::shared_ptr<ReadStamps> readStamps() const;

    // Tests: the naive text search.
    void setOptions(const Collector::Options &options) { options_ = options; }

private:
    Editor::AssetManagerPrivate *as_manager_;
    const mat::Manager *materials_;
    CollectorResult result_;
    Collector::Options options_;
};

} // namespace cleaner
