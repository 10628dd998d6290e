#pragma once

#include "velmora/Ptr.h"

#include <cstdint>
#include <functional>

namespace Velmora {

class Player;

// Game time, frame counter, enabled flag, game player and the game's random
// generator (seeded with -random_seed, default 1).
class Game
{
public:
    // Seconds of game time since init.
    static float getTime();
    static void setTime(float time);
    static int getFrame();
    static void setFrame(int frame);
    // Frame time step: a positive value fixes it; -1 returns to the
    // -fixed_ifps value, else real elapsed time.
    static void setIFps(float ifps);
    // The step of the last update (the fixed step before the first update).
    static float getIFps();
    static bool isEnabled();
    static void setEnabled(bool enabled);

    // The set player, else the first player node of the world (depth first),
    // else null.
    static Ptr<Player> getPlayer();
    static void setPlayer(const Ptr<Player> &player);

    // Uniform between from and to (either order).
    static float getRandomFloat(float from, float to);
    static double getRandomDouble(double from, double to);
    static int getRandomInt(int from, int to); // from inclusive, to exclusive
    static void setRandomSeed(uint32_t seed);
    // Tests: a source returning values in [0, 1); an empty function restores
    // the seeded generator.
    static void setRandomSource(std::function<double()> source);
};

} // namespace Velmora
