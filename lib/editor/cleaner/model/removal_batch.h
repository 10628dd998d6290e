#pragma once

#include <velmora/UGUID.h>

#include <QSet>

#include <functional>
#include <vector>

namespace cleaner {

// Rows of a table that the asset manager reported removed, taken out of the
// table together once the batch has been reported (the removal signals come
// one per asset; one pass over the rows per batch keeps a removal of 50,000
// rows linear). Rows go in runs of consecutive rows from the bottom up, or
// by a reset when the runs are many.
class RemovalBatch
{
public:
    // The model's hooks: a run [first, last] is about to go / has gone, or a
    // reset begins / ends around the rows being filtered.
    struct Hooks
    {
        std::function<void(int first, int last)> begin_remove;
        std::function<void()> end_remove;
        std::function<void()> begin_reset;
        std::function<void()> end_reset;
    };

    void add(const Velmora::UGUID &guid) { pending_.insert(guid); }
    bool isEmpty() const { return pending_.isEmpty(); }
    bool contains(const Velmora::UGUID &guid) const { return pending_.contains(guid); }
    void clear() { pending_.clear(); }

    // Takes out of rows every row whose GUID (key(row)) is pending; returns
    // the number of rows taken out. The batch is empty afterwards.
    template<typename Row, typename Key>
    int apply(std::vector<Row> &rows, Key key, const Hooks &hooks)
    {
        if (pending_.isEmpty())
            return 0;
        std::vector<std::pair<int, int>> runs;
        for (int row = 0; row < int(rows.size()); ++row) {
            if (!pending_.contains(key(rows[size_t(row)])))
                continue;
            if (!runs.empty() && runs.back().second == row - 1)
                runs.back().second = row;
            else
                runs.emplace_back(row, row);
        }
        pending_.clear();
        int taken = 0;
        for (const auto &run : runs)
            taken += run.second - run.first + 1;
        if (runs.size() > MAX_RUNS) {
            hooks.begin_reset();
            std::vector<Row> kept;
            kept.reserve(rows.size() - size_t(taken));
            size_t next_run = 0;
            for (int row = 0; row < int(rows.size()); ++row) {
                if (next_run < runs.size() && row == runs[next_run].first) {
                    row = runs[next_run].second;
                    ++next_run;
                    continue;
                }
                kept.push_back(std::move(rows[size_t(row)]));
            }
            rows.swap(kept);
            hooks.end_reset();
            return taken;
        }
        for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
            hooks.begin_remove(it->first, it->second);
            rows.erase(rows.begin() + it->first, rows.begin() + it->second + 1);
            hooks.end_remove();
        }
        return taken;
    }

private:
    static constexpr size_t MAX_RUNS = 64;
    QSet<Velmora::UGUID> pending_;
};

} // namespace cleaner
