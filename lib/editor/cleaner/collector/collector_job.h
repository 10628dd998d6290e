#pragma once

#include "editor/cleaner/collector/collector.h"
#include "editor/cleaner/collector/collector_result.h"

#include <editor_core/tbb/QJob.h>

#include <atomic>

namespace Editor {
class AssetManagerPrivate;
}
namespace mat {
class Manager;
}

namespace cleaner {

// A collection on the job queue's worker. progress(max, value) is emitted
// from the worker for every report while the job is not cancelled; cancel()
// may come from any thread and stops the run at its next report. The job
// ends cancelled (6) after a cancel, failed (5) when the collection failed,
// otherwise done; the results are read after done().
class CollectorJob : public tbb::QJob
{
    Q_OBJECT

public:
    CollectorJob(Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials, QObject *parent = nullptr);
    ~CollectorJob() override;

    void cancel() override;
    void run(const tbb::JobPtr &self) override;

    // Copies of the results; empty until the job has finished.
    Velmora::Vector<Velmora::UGUID> unusedAssets() const;
    LostMap lostAssets() const;
    ReadFailures readFailures() const;
    // Whether the unused list may miss uses (unreadable files, or the
    // project changed during the run); false until the job has finished.
    bool mayBeIncomplete() const;
    bool isStale() const;

    // Tests: the naive text search.
    void setOptions(const Collector::Options &options) { options_ = options; }

signals:
    void progress(int max, int value);

private:
    Editor::AssetManagerPrivate *as_manager_;
    const mat::Manager *materials_;
    CollectorResult result_;
    Collector::Options options_;
    std::atomic<bool> keep_running_{true};
};

} // namespace cleaner
