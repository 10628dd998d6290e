#pragma once

#include "render_scene.h"

#include "velmora/Math.h"
#include "velmora/Vector.h"

#include <memory>

namespace Velmora {
namespace render_internal {

class CutoutTest;

constexpr int SHADOW_MAP_SIZE = 1024;

// Depth from a directional light over the part of the scene that can shade
// what the camera sees. Never changed once made.
struct ShadowMap
{
    mat4 view; // world to light view (looking along the light)
    mat4 view_projection; // world to light clip space
    float texel = 0.0f; // world size of one texel

    // The depth of texel (x, y), row 0 at the bottom. Texels are stored in
    // 4 x 4 tiles of one cache line each, so that the four texels a lookup
    // reads and those of the next pixels mostly share a line.
    float depth(int x, int y) const
    {
        return tiles[((y >> 2) * (SHADOW_MAP_SIZE >> 2) + (x >> 2)) * 16 + (y & 3) * 4 + (x & 3)];
    }

    const float *tiles = nullptr; // inside storage, on a cache line boundary
    Vector<float> storage;
};

// The shadow map of a light: the casters in depth; across, only where
// casters and visible receivers overlap, within shadow_distance of the eye
// when that is positive. Null when nothing casts or nothing receives. A map
// made for the same light, extent and casters (positions, and texture
// coordinates and textures of cut-out ones) is given again instead of being
// drawn anew: a moving camera keeps the map while its extent stays.
std::shared_ptr<const ShadowMap> shadowMap(const Scene &scene, const SceneLight &light, const vec3 &eye,
                                           float shadow_distance, const CutoutTest &cutout);

// Engine stop: the kept maps are dropped.
void releaseShadowMaps();

} // namespace render_internal
} // namespace Velmora
