#include "editor/interdependence/parser/items/node.h"

namespace inas {
namespace parser {
namespace items {

Node::Node(const Velmora::UGUID &id)
    : Item(id)
{}

Node::~Node() = default;

} // namespace items
} // namespace parser
} // namespace inas
