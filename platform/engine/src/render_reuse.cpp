#include "render_reuse.h"

#include "render_hash.h"

#include "velmora/Texture.h"

#include <cstring>

namespace Velmora {
namespace render_internal {

namespace {} // namespace

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
    h.add(scene.triangles.size());
    // Every triangle is hashed each frame an unchanged view is kept: its
    // floats go two to a step, its flags with its shading in one.
    static_assert(sizeof(vec3) == 3 * sizeof(float) && sizeof(vec2) == 2 * sizeof(float),
                  "vectors are hashed as plain floats");
    for (const SceneTriangle &triangle : scene.triangles) {
        h.addFloats(triangle.position, 9);
        h.addFloats(triangle.normal, 9);
        h.addFloats(triangle.uv, 6);
        h.add((uint64_t(uint32_t(triangle.shading)) << 2) | (triangle.visible ? 2u : 0u)
              | (triangle.casts_shadow ? 1u : 0u));
    }
    return h.value();
}

} // namespace render_internal
} // namespace Velmora
