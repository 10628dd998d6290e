#pragma once

namespace as {

// Placeholder: a preparation step of landscape-map imports. The asset
// manager owns the actions given to addPrepareAction; no import runs them
// yet.
class PrepareActionLandscape
{
public:
    PrepareActionLandscape() = default;
    virtual ~PrepareActionLandscape() = default;
    virtual const char *name() const { return "landscape"; }
};

} // namespace as
