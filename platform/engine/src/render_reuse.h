#pragma once

#include "render_internal.h"
#include "render_scene.h"

#include <cstdint>

namespace Velmora {
namespace render_internal {

// What an on-screen view keeps between frames so that an unchanged picture
// is not drawn again: the fingerprint of everything the last drawn picture
// was made from. A render with a FrameReuse collects its scene as usual and
// stops before the raster stage when the fingerprint is the kept one.
struct FrameReuse
{
    uint64_t key = 0;
    bool valid = false; // key belongs to a picture the view holds
    bool hit = false; // set by the render: the held picture is still right
};

// The fingerprint of one view's picture: its size, camera, render settings
// and the collected scene (every piece's triangles, light and surface shading
// with its textures).
uint64_t viewFingerprint(const Settings &settings, const String &environment, const mat4 &modelview,
                         const mat4 &projection, int width, int height, const Scene &scene);

} // namespace render_internal
} // namespace Velmora
