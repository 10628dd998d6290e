#pragma once

#include "editor/interdependence/analyzer/item_map.h"
#include "editor/show_assets_dependencies/table_combiner.h"
#include "editor/show_assets_dependencies/using_this_one_result_data.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <set>
#include <tuple>
#include <vector>

namespace show_deps {

// "Assets Using This One": for each requested GUID, one main row (its asset)
// and as sub-rows every analysed item that uses the asset or one of its
// runtimes, under the asset that item belongs to: one whole-asset sub-row
// (id -1) for a use outside node elements, and one sub-row per node (name,
// id) for uses inside them. A node or world item whose use is known from
// where files lie (the scripts beside a world, the "uts" files of a folder
// its paths point into) rather than from a node element gets the whole-asset
// sub-row as well. Only the target's own entry of the item map is skipped:
// a runtime of the asset that uses the asset lists the asset. Sub-rows follow
// the item map's order.
class UsingThisOneCombiner : public TableCombiner<UsingThisOneResultData>
{
public:
    using Users = std::vector<const inas::analyzer::ItemMap::Entry *>;

    void reset(inas::CustomSettings *settings) override;

protected:
    // For each target, the entries of the item map that may use it, in map
    // order. Here: exactly those whose dependents hold it, found in one walk
    // of the map. Whatever an override gives is filtered the same way.
    virtual QHash<Velmora::UGUID, Users> findUsers(const inas::analyzer::Output &output,
                                                   const QSet<Velmora::UGUID> &targets) const;

    void prepare(const inas::analyzer::Output &output, const Velmora::Vector<Velmora::UGUID> &guids) override;
    void addFindings(const Velmora::UGUID &guid, const inas::parser::Item &item, int row,
                     const inas::analyzer::Output &output, UsingThisOneData &data) override;

private:
    struct RowState
    {
        int row = 0;
        QSet<Velmora::UGUID> seen_assets;
        std::set<std::tuple<Velmora::UGUID, QString, int>> seen_nodes;
    };

    void collectUsers(const Velmora::UGUID &target, RowState &state, UsingThisOneData &data) const;

    QHash<Velmora::UGUID, Users> users_;
};

} // namespace show_deps
