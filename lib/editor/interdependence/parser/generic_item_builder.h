#pragma once

#include "editor/interdependence/arena_allocator.h"
#include "editor/interdependence/item_arena.h"
#include "editor/interdependence/parser/item_builder.h"

#include <memory>

namespace as {
class Asset;
}

namespace inas {
namespace parser {

// The item factory: node and world types (1, 18) give an items::Node,
// material and property types (4, 5) an items::Hierarchy, every other value
// a plain Item. Never null. The items of one builder share one arena, which
// lives as long as any of them.
class GenericItemBuilder : public virtual ItemBuilder
{
public:
    GenericItemBuilder();
    ItemPtr build(const Velmora::UGUID &id, int type) override;
    // The item of an asset record: its GUID and the given type.
    ItemPtr build(const as::Asset &asset, int type);
    std::shared_ptr<ItemArena> arena() const override { return arena_; }

private:
    std::shared_ptr<ItemArena> arena_;
    // Over arena_; every item holds the arena on its own.
    ArenaAllocator<Item> allocator_;
};

} // namespace parser
} // namespace inas
