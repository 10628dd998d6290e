#include "editor/interdependence/parser/generic_item_builder.h"

#include "editor/interdependence/arena_allocator.h"
#include "editor/interdependence/parser/items/hierarchy.h"
#include "editor/interdependence/parser/items/node.h"

#include <editor_core/AssetType.h>
#include <editor_core/as/Asset.h>

namespace inas {
namespace parser {

GenericItemBuilder::GenericItemBuilder()
    : arena_(ItemArena::makeShared())
    , allocator_(arena_.get())
{}

ItemPtr GenericItemBuilder::build(const Velmora::UGUID &id, int type)
{
    switch (type) {
    case AssetType::NODE:
    case AssetType::WORLD:
        return std::allocate_shared<items::Node>(allocator_, id);
    case AssetType::MATERIAL:
    case AssetType::PROPERTY:
        return std::allocate_shared<items::Hierarchy>(allocator_, id);
    default:
        return std::allocate_shared<Item>(allocator_, id);
    }
}

ItemPtr GenericItemBuilder::build(const as::Asset &asset, int type)
{
    return build(asset.getGUID(), type);
}

} // namespace parser
} // namespace inas
