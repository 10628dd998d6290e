#pragma once

namespace Velmora {

// The render state that node renders without a target of their own draw
// with: the viewport rectangle. saveState pushes the current state,
// restoreState pops it, clearStates resets the current one to the defaults
// (an empty viewport). Main thread only.
class RenderState
{
public:
    static void saveState();
    // false, with one error line, when no state was saved.
    static bool restoreState();
    static void clearStates();
    static int getNumSavedStates();

    static void setViewport(int x, int y, int width, int height);
    static int getViewportX();
    static int getViewportY();
    static int getViewportWidth();
    static int getViewportHeight();
};

} // namespace Velmora
