#pragma once

#include "editor/interdependence/parser/parser_item.h"

#include <velmora/String.h>

namespace inas {
namespace parser {

// One "node" element of a node or world file that holds references: its
// name, its id (-1 when the element has none) and what it refers to. Every
// GUID in its sets is also in its item's own dependents or lost set.
struct NodeRecord
{
    Velmora::String name;
    int id = -1;
    GuidSet dependents;
    GuidSet lost;
};

} // namespace parser
} // namespace inas
