#pragma once

#include <editor_core/base/Assert.h>

namespace assembly {

// Which engine binary kinds a build contains: release alone, or any of
// development and debug.
struct SelectedBinaries
{
    bool release = false;
    bool development = false;
    bool debug = false;

    static SelectedBinaries releaseOnly() { return SelectedBinaries{true, false, false}; }
    static SelectedBinaries developmentAndDebug(bool dev, bool debug)
    {
        EC_ASSERT(dev || debug);
        return SelectedBinaries{false, dev, debug};
    }
};

} // namespace assembly
