#include "editor/cleaner/parser/asset_info.h"

#include <editor_core/as/Asset.h>

namespace cleaner {

void AssetInfo::clear()
{
    asset_id_.clear();
    parent_asset_id_.clear();
    dependent_runtime_ids_.clear();
    children_runtime_ids_.clear();
    paths.clear();
    lost_ids.clear();
    nodes.clear();
    asset_type_ = -1;
    is_core = false;
}

bool AssetInfo::init(const as::Asset &asset)
{
    const int type = int(asset.getType());
    if (type < AssetType::NODE || type >= AssetType::SIZE)
        return false;
    asset_type_ = type;
    asset_id_ = asset.getGUID();
    is_core = asset.isCore();
    return true;
}

} // namespace cleaner
