#pragma once

#include "velmora/Ptr.h"

namespace Velmora {

class Player;

// The engine's editor mode: the editor script and the editor camera.
// Inside namespace Editor write it as ::Velmora::Editor.
class Editor
{
public:
    // Loads the editor script (data-relative; a missing file is one warning)
    // and then calls the editor logic's init once. Returns 1, or 0 when the
    // engine is not running.
    static int load(const char *script);
    static bool isLoaded();
    static const char *getScriptName();
    // Forgets the script (console editor_quit).
    static void quit();

    // The editor camera: a player outside the world. When a world loads it
    // starts at the world's first placed PlayerDummy (its pose and fov), or
    // else looks at the world's bound box.
    static Ptr<Player> getPlayer();
};

} // namespace Velmora
