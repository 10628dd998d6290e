#include "editor/interdependence/combiner/combiner_driver.h"

namespace inas {
namespace combiner {

Driver::~Driver() = default;

} // namespace combiner
} // namespace inas
