#include "editor/interdependence/analyzer/output.h"

namespace inas {
namespace analyzer {

Output::Output() = default;

Output::~Output()
{
    item_map.clear();
}

} // namespace analyzer
} // namespace inas
