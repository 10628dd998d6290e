#include "editor/interdependence/analyzer/analyzer_item.h"

#include <utility>

namespace inas {
namespace analyzer {

Item::Item(parser::ItemPtr parser_item)
    : parser_data_(std::move(parser_item))
{}

Item::~Item() = default;

} // namespace analyzer
} // namespace inas
