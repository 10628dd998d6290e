#include "editor_core/tbb/Job.h"

namespace tbb {

void JobInterface::notifyDone(const JobPtr & /*self*/) {}

} // namespace tbb
