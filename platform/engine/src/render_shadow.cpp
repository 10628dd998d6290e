#include "render_shadow.h"

#include "velmora/Bounds.h"
#include "velmora/Texture.h"

#include "render_hash.h"
#include "render_internal.h"
#include "render_math.h"
#include "render_raster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace Velmora {
namespace render_internal {

namespace {

// Maps kept for reuse, the most recently used first; a few, for the
// editor's views and the lights of one world.
constexpr size_t KEPT_MAPS = 4;

struct KeptMap
{
    uint64_t key = 0;
    std::shared_ptr<const ShadowMap> map;
};

std::mutex g_kept_mutex;
std::vector<KeptMap> g_kept;

// What the map's pixels are made of.
uint64_t fingerprint(const Scene &scene, const ShadowMap &map)
{
    Hasher h;
    h.add(map.view_projection);
    h.add(map.view);
    for (const SceneTriangle &t : scene.triangles) {
        if (!t.casts_shadow)
            continue;
        for (const vec3 &corner : t.position)
            h.add(corner);
        const SurfaceShading &shading = scene.shadings[t.shading];
        h.add(uint64_t(shading.cutout ? 1 : 2));
        if (shading.cutout) {
            for (const vec2 &uv : t.uv)
                h.add(uv);
            // Textures come from the streaming registry: a texture loaded
            // again is a new object.
            h.add(uint64_t(reinterpret_cast<uintptr_t>(shading.albedo.get())));
            if (shading.albedo) {
                h.add(uint64_t(uint32_t(shading.albedo->getWidth())));
                h.add(uint64_t(uint32_t(shading.albedo->getHeight())));
            }
        }
    }
    return h.value();
}

std::shared_ptr<const ShadowMap> kept(uint64_t key)
{
    std::lock_guard<std::mutex> lock(g_kept_mutex);
    for (auto it = g_kept.begin(); it != g_kept.end(); ++it) {
        if (it->key == key) {
            std::rotate(g_kept.begin(), it, it + 1);
            return g_kept.front().map;
        }
    }
    return nullptr;
}

void keep(uint64_t key, const std::shared_ptr<const ShadowMap> &map)
{
    std::lock_guard<std::mutex> lock(g_kept_mutex);
    g_kept.insert(g_kept.begin(), KeptMap{key, map});
    if (g_kept.size() > KEPT_MAPS)
        g_kept.pop_back();
}

} // namespace

std::shared_ptr<const ShadowMap> shadowMap(const Scene &scene, const SceneLight &light, const vec3 &eye,
                                           float shadow_distance, const CutoutTest &cutout)
{
    const vec3 along = -light.to_light;
    const vec3 up = std::fabs(along.z) < 0.9f ? vec3(0.0f, 0.0f, 1.0f) : vec3(0.0f, 1.0f, 0.0f);
    const mat4 view = Math::lookAt(vec3(0.0f), along, up);
    // Light-space extent: casters in depth; across, only where casters
    // and visible receivers overlap, within the shadow distance of the eye.
    BoundBox casters;
    BoundBox receivers;
    for (const SceneTriangle &t : scene.triangles) {
        for (const vec3 &corner : t.position) {
            const vec3 p = transformPoint(view, corner);
            if (t.casts_shadow)
                casters.expand(p);
            if (t.visible)
                receivers.expand(p);
        }
    }
    if (!casters.isValid() || !receivers.isValid())
        return nullptr;
    vec3 low = Math::max(casters.getMin(), receivers.getMin());
    vec3 high = Math::min(casters.getMax(), receivers.getMax());
    if (shadow_distance > 0.0f) {
        const vec3 light_eye = transformPoint(view, eye);
        low = Math::max(low, light_eye - vec3(shadow_distance));
        high = Math::min(high, light_eye + vec3(shadow_distance));
    }
    if (!(low.x < high.x) || !(low.y < high.y))
        return nullptr;
    const float margin = std::max(high.x - low.x, high.y - low.y) / float(SHADOW_MAP_SIZE) * 2.0f;
    auto map = std::make_shared<ShadowMap>();
    map->view = view;
    // Light view space looks down -Z: depths are -z.
    const float near_depth = -casters.getMax().z - margin;
    const float far_depth = -casters.getMin().z + margin;
    map->view_projection
            = Math::ortho(low.x - margin, high.x + margin, low.y - margin, high.y + margin, near_depth, far_depth)
            * view;
    map->texel = std::max(high.x - low.x, high.y - low.y) / float(SHADOW_MAP_SIZE);

    const uint64_t key = fingerprint(scene, *map);
    if (std::shared_ptr<const ShadowMap> same = kept(key))
        return same;

    Vector<float> depth(SHADOW_MAP_SIZE * SHADOW_MAP_SIZE);
    Vector<RasterTriangle> raster;
    for (int i = 0; i < scene.triangles.size(); ++i) {
        const SceneTriangle &t = scene.triangles[i];
        if (!t.casts_shadow)
            continue;
        vec4 clip[3];
        float depth[3];
        for (int c = 0; c < 3; ++c) {
            clip[c] = map->view_projection * vec4(t.position[c], 1.0f);
            depth[c] = -(view * t.position[c]).z;
        }
        setupTriangle(clip, depth, i, scene.shadings[t.shading].cutout, SHADOW_MAP_SIZE, SHADOW_MAP_SIZE, raster);
    }
    RasterTarget target;
    target.width = SHADOW_MAP_SIZE;
    target.height = SHADOW_MAP_SIZE;
    target.depth = depth.data();
    rasterise(raster, &cutout, target);

    constexpr int LINE_FLOATS = 16;
    map->storage = Vector<float>(SHADOW_MAP_SIZE * SHADOW_MAP_SIZE + LINE_FLOATS);
    const uintptr_t address = reinterpret_cast<uintptr_t>(map->storage.data());
    float *tiles = map->storage.data() + (LINE_FLOATS - (address / sizeof(float)) % LINE_FLOATS) % LINE_FLOATS;
    map->tiles = tiles;
    forBands(SHADOW_MAP_SIZE, 64, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < SHADOW_MAP_SIZE; ++x)
                tiles[((y >> 2) * (SHADOW_MAP_SIZE >> 2) + (x >> 2)) * 16 + (y & 3) * 4 + (x & 3)]
                        = depth.data()[y * SHADOW_MAP_SIZE + x];
        }
    });
    keep(key, map);
    return map;
}

void releaseShadowMaps()
{
    std::lock_guard<std::mutex> lock(g_kept_mutex);
    g_kept.clear();
}

} // namespace render_internal
} // namespace Velmora
