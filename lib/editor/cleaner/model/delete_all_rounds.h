#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QSet>
#include <QString>
#include <QVector>

namespace cleaner {

// The bookkeeping of "Delete All": rounds of collect-then-remove until a
// collection finds nothing. It decides what each finished collection leads
// to, and stops the run when going on could loop forever or delete on
// incomplete evidence:
// - an asset found again that an earlier round already passed to removal
//   (it survived: a locked file, a re-import);
// - a round whose removal removed nothing;
// - a collection that could not read every file;
// - a project that kept changing during the collections.
class DeleteAllRounds
{
public:
    enum class Step {
        Remove, // remove the round's assets, then collect again
        Finished, // nothing unused is left
        Recollect, // the project changed during the collection: collect again
        Repeated, // stop: an asset survived an earlier removal
        Incomplete, // stop: files could not be read
        KeptChanging, // stop: the project changed during every try
    };

    static constexpr int MAX_RECOLLECTS = 3;

    void start();
    void stop() { active_ = false; }
    bool isActive() const { return active_; }

    // A successful collection of the run.
    Step judge(const Velmora::Vector<Velmora::UGUID> &unused, int read_failures, bool stale);
    // What the round's removal did. False (and the run stops) when it
    // removed nothing.
    bool roundRemoved(int count);

    int rounds() const { return counts_.size(); }
    const QVector<int> &roundCounts() const { return counts_; }
    int removedTotal() const { return total_; }
    Velmora::UGUID repeatedGuid() const { return repeated_; }
    int readFailures() const { return read_failures_; }

private:
    bool active_ = false;
    QSet<Velmora::UGUID> passed_;
    QVector<int> counts_;
    int total_ = 0;
    int recollects_ = 0;
    int read_failures_ = 0;
    Velmora::UGUID repeated_;
};

} // namespace cleaner
