#include "editor/interdependence/parser/generic_item_builder.h"

#include "editor/interdependence/parser/items/hierarchy.h"
#include "editor/interdependence/parser/items/node.h"

#include <editor_core/AssetType.h>
#include <editor_core/as/Asset.h>

namespace inas {
namespace parser {

ItemPtr GenericItemBuilder::build(const Velmora::UGUID &id, int type)
{
    switch (type) {
    case AssetType::NODE:
    case AssetType::WORLD:
        return std::make_shared<items::Node>(id);
    case AssetType::MATERIAL:
    case AssetType::PROPERTY:
        return std::make_shared<items::Hierarchy>(id);
    default:
        return std::make_shared<Item>(id);
    }
}

ItemPtr GenericItemBuilder::build(const as::Asset &asset, int type)
{
    return build(asset.getGUID(), type);
}

} // namespace parser
} // namespace inas
