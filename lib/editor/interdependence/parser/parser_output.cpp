#include "editor/interdependence/parser/parser_output.h"

namespace inas {
namespace parser {

Output::Output() = default;

Output::~Output() = default;

} // namespace parser
} // namespace inas
