#include "editor/interdependence/parser/items/hierarchy.h"

namespace inas {
namespace parser {
namespace items {

Hierarchy::Hierarchy(const Velmora::UGUID &id)
    : Item(id)
{}

Hierarchy::~Hierarchy() = default;

} // namespace items
} // namespace parser
} // namespace inas
