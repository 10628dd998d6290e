#pragma once

#include <velmora/String.h>
#include <velmora/UGUID.h>

#include <set>

namespace cleaner {

// A node element of a node or world file that holds lost references.
struct NodeInfo
{
    Velmora::String name; // the element's "name"
    int id = -1; // the element's "id" (0 when it is no number); -1 when it has none
    // The runtime whose file held the node; empty for the asset's own file.
    Velmora::UGUID guid;
    // GUIDs lost inside this element (nested node elements keep their own).
    std::set<Velmora::UGUID> lost_ids_;

    bool operator==(const NodeInfo &other) const
    {
        return name == other.name && id == other.id && guid == other.guid && lost_ids_ == other.lost_ids_;
    }
};

} // namespace cleaner
