#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

namespace show_deps {

// Entry points of the dependency viewer: the assets that the given assets
// use ("Assets Used") and the assets that use them ("Assets Using This
// One"). Both refuse an empty list (false). The analysis and its windows
// come with the dependency viewer; until then a request is logged.
bool showDependencies(const Velmora::Vector<Velmora::UGUID> &guids);
bool showDependents(const Velmora::Vector<Velmora::UGUID> &guids);

} // namespace show_deps
