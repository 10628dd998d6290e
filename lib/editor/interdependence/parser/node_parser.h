#pragma once

#include "editor/interdependence/parser/guid_parser.h"
#include "editor/interdependence/parser/parser_item.h"
#include "editor/interdependence/parser/xml_parser.h"

#include <deque>

namespace mat {
class Manager;
}

namespace inas {
namespace parser {

namespace items {
class Node;
}

// Node and world files (and meta files of worlds). Every reference is
// recorded in the item's own sets and, for a node item, also where it was
// found: in the record of the innermost enclosing "node" element, or in the
// root sets outside any. "path" texts that do not resolve are kept in the
// item's paths, "expression" texts are searched for embedded asset paths,
// and elements whose name contains "material" hold comma lists of material
// names or GUIDs.
class NodeParser : public XmlParser, public GuidParser
{
public:
    NodeParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor, Item *item);

protected:
    void visitElement(const Velmora::Xml &element) override;
    bool visitData(const Velmora::Xml &element) override;
    bool onValue(const char *text) override;

private:
    struct StackEntry
    {
        GuidSet *dependents;
        GuidSet *lost;
    };

    void onFound(const Velmora::UGUID &guid);
    void onMissing(const Velmora::UGUID &guid);

    const mat::Manager *materials_;
    items::Node *node_item_;
    // The records of the "node" elements being walked, innermost last.
    std::deque<StackEntry> node_stack_;
};

} // namespace parser
} // namespace inas
