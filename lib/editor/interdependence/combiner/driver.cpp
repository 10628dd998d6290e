#include "editor/interdependence/combiner/driver.h"

namespace inas {
namespace combiner {

Driver::~Driver() = default;

} // namespace combiner
} // namespace inas
