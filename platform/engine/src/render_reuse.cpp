#include "render_reuse.h"

#include "render_hash.h"

#include "velmora/Texture.h"

#include <cstring>

namespace Velmora {
namespace render_internal {

uint64_t viewFingerprint(const Settings &settings, const String &environment, const mat4 &modelview,
                         const mat4 &projection, int width, int height, const Scene &scene)
{
    Hasher h;
    h.add(width);
    h.add(height);
    h.add(modelview);
    h.add(projection);

    h.add(settings.has_ambient);
    h.add(settings.ambient);
    h.add(settings.environment);
    h.add(settings.shadows);
    h.add(settings.shadow_distance);
    h.add(settings.debug_lights);
    h.add(settings.ssao);
    h.add(settings.ssao_intensity);
    h.add(settings.ssao_radius);
    h.add(settings.ssao_threshold);
    h.add(settings.ssao_quality);
    h.add(environment);

    h.add(scene.lights.size());
    for (const SceneLight &light : scene.lights) {
        h.add(light.to_light);
        h.add(light.color);
        h.add(light.shadow);
    }
    h.add(scene.shadings.size());
    for (const SurfaceShading &shading : scene.shadings) {
        h.add(shading.albedo_color);
        h.add(shading.metalness);
        h.add(shading.roughness);
        h.add(shading.specular);
        h.add(shading.microfiber);
        h.add(shading.translucence);
        h.add(shading.albedo);
        h.add(shading.cutout);
        h.add(shading.ambient_occlusion);
    }
    // Each piece's triangles come hashed with their surface's geometry (the
    // floats two to a step); their flags and shading are the piece's.
    int triangles = 0;
    for (const ScenePiece &piece : scene.pieces)
        triangles += piece.geometry->triangles.size();
    h.add(triangles);
    for (const ScenePiece &piece : scene.pieces) {
        h.add(piece.geometry->hash);
        h.add(piece.geometry->triangles.size());
        h.add((uint64_t(uint32_t(piece.shading)) << 2) | (piece.visible ? 2u : 0u) | (piece.casts_shadow ? 1u : 0u));
    }
    return h.value();
}

} // namespace render_internal
} // namespace Velmora
