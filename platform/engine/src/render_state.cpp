#include "velmora/RenderState.h"

#include "velmora/Log.h"

#include "render_internal.h"

#include <vector>

namespace Velmora {

namespace {

struct State
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct States
{
    State current;
    std::vector<State> saved;
};

States &states()
{
    static States s;
    return s;
}

} // namespace

void RenderState::saveState()
{
    states().saved.push_back(states().current);
}

bool RenderState::restoreState()
{
    States &s = states();
    if (s.saved.empty()) {
        Log::error("RenderState::restoreState: no saved state\n");
        return false;
    }
    s.current = s.saved.back();
    s.saved.pop_back();
    return true;
}

void RenderState::clearStates()
{
    states().current = State();
}

int RenderState::getNumSavedStates()
{
    return int(states().saved.size());
}

void RenderState::setViewport(int x, int y, int width, int height)
{
    states().current = State{x, y, width, height};
}

int RenderState::getViewportX()
{
    return states().current.x;
}

int RenderState::getViewportY()
{
    return states().current.y;
}

int RenderState::getViewportWidth()
{
    return states().current.width;
}

int RenderState::getViewportHeight()
{
    return states().current.height;
}

namespace render_internal {

// Engine start and stop leave no state behind.
void resetRenderStates()
{
    states() = States();
}

} // namespace render_internal

} // namespace Velmora
