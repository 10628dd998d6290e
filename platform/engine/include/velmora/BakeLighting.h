#pragma once

namespace Velmora {

// Light baking state. The stand-in bakes nothing; the flag is driven by the
// console command "bake_lighting_sim 0|1" and keeps the editor's frames
// running while set.
class BakeLighting
{
public:
    static bool isBaking();
    static void setBaking(bool baking);
};

} // namespace Velmora
