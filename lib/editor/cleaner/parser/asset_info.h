#pragma once

#include "editor/cleaner/parser/node_info.h"

#include <velmora/String.h>
#include <velmora/UGUID.h>

#include <set>
#include <vector>

namespace as {
class Asset;
}

namespace cleaner {

// What one asset's files refer to: the references that resolve (to an asset
// or a runtime), the lost ones, the asset's own runtimes with a file, the
// "path" texts of node and world files, and the nodes holding lost
// references. Sets are ordered and hold each value once.
class AssetInfo
{
public:
    AssetInfo() { clear(); }

    void clear();
    // False (and no change) for a type outside 1..23.
    bool init(const as::Asset &asset);
    // The record of a file that is no asset (one reached through a link):
    // no id, the type its name gives.
    void initFile(int type)
    {
        clear();
        asset_type_ = type;
    }

    const Velmora::UGUID &getAssetId() const { return asset_id_; }
    const Velmora::UGUID &getParentAssetId() const { return parent_asset_id_; }
    void setParentAssetId(const Velmora::UGUID &id) { parent_asset_id_ = id; }
    std::set<Velmora::UGUID> &getDependentRuntimeIds() { return dependent_runtime_ids_; }
    const std::set<Velmora::UGUID> &getDependentRuntimeIds() const { return dependent_runtime_ids_; }
    std::set<Velmora::UGUID> &getChildrenRuntimeIds() { return children_runtime_ids_; }
    const std::set<Velmora::UGUID> &getChildrenRuntimeIds() const { return children_runtime_ids_; }
    int getAssetType() const { return asset_type_; }

    std::set<Velmora::String> paths;
    std::set<Velmora::UGUID> lost_ids;
    std::vector<NodeInfo> nodes;
    bool is_core = false;

private:
    Velmora::UGUID asset_id_;
    Velmora::UGUID parent_asset_id_;
    std::set<Velmora::UGUID> dependent_runtime_ids_;
    std::set<Velmora::UGUID> children_runtime_ids_;
    int asset_type_ = -1;
};

} // namespace cleaner
