#pragma once

#include "editor/interdependence/analyzer/item_map.h"
#include "editor/interdependence/combiner/driver.h"

#include <velmora/UGUID.h>

#include <QHash>
#include <QSet>
#include <QString>

#include <set>
#include <tuple>
#include <vector>

namespace show_deps {

class UsingThisOneData;

// "Assets Using This One": for each requested GUID, one main row (its asset)
// and as sub-rows every analysed item that uses the asset or one of its
// runtimes, under the asset that item belongs to: one whole-asset sub-row
// (id -1) for a use outside node elements, and one sub-row per node (name,
// id) for uses inside them. A node or world item whose use is known from
// where files lie (the scripts beside a world, the "uts" files of a folder
// its paths point into) rather than from a node element gets the whole-asset
// sub-row as well. An asset is not listed as using itself. Sub-rows follow
// the item map's order. One progress step per requested GUID.
class UsingThisOneCombiner : public inas::combiner::Driver
{
public:
    using Users = std::vector<const inas::analyzer::ItemMap::Entry *>;

    // settings: a ShowAssetsSettings.
    bool init(inas::CustomSettings *settings) override;
    int getMaxIterations() const override;
    std::unique_ptr<inas::ResultData> combine(inas::CustomSettings *settings, const inas::ProgressCallback &progress,
                                              const inas::analyzer::Output &output) override;
    void reset(inas::CustomSettings *settings) override;

protected:
    // For each target, the entries of the item map that may use it, in map
    // order. Here: exactly those whose dependents hold it, found in one walk
    // of the map. Whatever an override gives is filtered the same way.
    virtual QHash<Velmora::UGUID, Users> findUsers(const inas::analyzer::Output &output,
                                                   const QSet<Velmora::UGUID> &targets) const;

private:
    struct RowState
    {
        Velmora::UGUID main_guid;
        int row = 0;
        QSet<Velmora::UGUID> seen_assets;
        std::set<std::tuple<Velmora::UGUID, QString, int>> seen_nodes;
    };

    void collectUsers(const Velmora::UGUID &target, const Users &users, RowState &state, UsingThisOneData &data) const;

    int iterations_ = 0;
};

} // namespace show_deps
