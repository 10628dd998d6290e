#include "editor/interdependence/result_data.h"

namespace inas {

ResultData::ResultData() = default;

ResultData::~ResultData() = default;

} // namespace inas
