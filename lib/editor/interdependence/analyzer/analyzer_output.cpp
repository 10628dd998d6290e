#include "editor/interdependence/analyzer/analyzer_output.h"

namespace inas {
namespace analyzer {

Output::Output() = default;

Output::~Output() = default;

} // namespace analyzer
} // namespace inas
