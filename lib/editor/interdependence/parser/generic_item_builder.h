#pragma once

#include "editor/interdependence/parser/item_builder.h"

namespace as {
class Asset;
}

namespace inas {
namespace parser {

// The item factory: node and world types (1, 18) give an items::Node,
// material and property types (4, 5) an items::Hierarchy, every other value
// a plain Item. Never null.
class GenericItemBuilder : public virtual ItemBuilder
{
public:
    ItemPtr build(const Velmora::UGUID &id, int type) override;
    // The item of an asset record: its GUID and the given type.
    ItemPtr build(const as::Asset &asset, int type);
};

} // namespace parser
} // namespace inas
