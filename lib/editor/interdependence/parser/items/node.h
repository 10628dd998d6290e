#pragma once

#include "editor/interdependence/parser/node_record.h"
#include "editor/interdependence/parser/parser_item.h"

#include <velmora/String.h>

#include <vector>

namespace inas {
namespace parser {
namespace items {

// The item of a node or world file (and of a node runtime): adds the "path"
// texts that did not resolve, one record per "node" element that holds
// references (in the order the elements ended, inner before outer), and the
// references found outside any "node" element.
class Node : public Item
{
public:
    using PathSet = OrderedSet<Velmora::String>;

    explicit Node(const Velmora::UGUID &id);
    ~Node() override;

    PathSet &getPaths() { return paths_; }
    const PathSet &getPaths() const { return paths_; }
    std::vector<NodeRecord> &getNodeRecords() { return node_records_; }
    const std::vector<NodeRecord> &getNodeRecords() const { return node_records_; }
    GuidSet &getRootDependents() { return root_dependents_; }
    const GuidSet &getRootDependents() const { return root_dependents_; }
    GuidSet &getRootLost() { return root_lost_; }
    const GuidSet &getRootLost() const { return root_lost_; }

private:
    PathSet paths_;
    std::vector<NodeRecord> node_records_;
    GuidSet root_dependents_;
    GuidSet root_lost_;
};

} // namespace items
} // namespace parser
} // namespace inas
