#pragma once

#include "velmora/Ptr.h"

namespace Velmora {

// A binding point for full-screen passes (RenderRitual). The CPU renderer
// writes straight into the bound textures, so a target holds no state of
// its own; it exists so that callers keep one per pass sequence, as they
// would on a GPU.
class RenderTarget
{
public:
    static Ptr<RenderTarget> create();

    // Number of rituals bound to this target right now.
    int getNumBindings() const { return bindings_; }

private:
    friend class RenderRitual;
    RenderTarget() = default;
    int bindings_ = 0;
};

} // namespace Velmora
