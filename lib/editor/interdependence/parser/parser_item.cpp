#include "editor/interdependence/parser/parser_item.h"

namespace inas {
namespace parser {

Item::Item(const Velmora::UGUID &id)
    : id_(id)
    , arena_(ItemArena::current())
{}

Item::~Item() = default;

} // namespace parser
} // namespace inas
