#include "editor/cleaner/model/delete_all_rounds.h"

namespace cleaner {

void DeleteAllRounds::start()
{
    active_ = true;
    passed_.clear();
    counts_.clear();
    total_ = 0;
    recollects_ = 0;
    read_failures_ = 0;
    repeated_ = Velmora::UGUID();
}

DeleteAllRounds::Step DeleteAllRounds::judge(const Velmora::Vector<Velmora::UGUID> &unused, int read_failures,
                                             bool stale)
{
    read_failures_ = read_failures;
    if (read_failures > 0) {
        active_ = false;
        return Step::Incomplete;
    }
    if (stale) {
        if (++recollects_ > MAX_RECOLLECTS) {
            active_ = false;
            return Step::KeptChanging;
        }
        return Step::Recollect;
    }
    recollects_ = 0;
    if (unused.isEmpty()) {
        active_ = false;
        return Step::Finished;
    }
    for (const Velmora::UGUID &guid : unused) {
        if (passed_.contains(guid)) {
            repeated_ = guid;
            active_ = false;
            return Step::Repeated;
        }
    }
    for (const Velmora::UGUID &guid : unused)
        passed_.insert(guid);
    return Step::Remove;
}

bool DeleteAllRounds::roundRemoved(int count)
{
    counts_.append(count);
    total_ += count;
    if (count == 0)
        active_ = false;
    return count > 0;
}

} // namespace cleaner
