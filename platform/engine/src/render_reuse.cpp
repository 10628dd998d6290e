#include "render_reuse.h"

#include "velmora/Texture.h"

#include <cstring>

namespace Velmora {
namespace render_internal {

namespace {

class Hasher
{
public:
    void add(uint64_t value)
    {
        // A 64-bit multiply-xorshift step; collisions are left to chance
        // (about 2^-64 per frame).
        state_ ^= value + 0x9E3779B97F4A7C15ull + (state_ << 6) + (state_ >> 2);
        state_ *= 0xFF51AFD7ED558CCDull;
        state_ ^= state_ >> 33;
    }
    void add(float value)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        add(uint64_t(bits));
    }
    void add(bool value) { add(uint64_t(value ? 1 : 2)); }
    void add(int value) { add(uint64_t(uint32_t(value))); }
    void add(const vec2 &v)
    {
        add(v.x);
        add(v.y);
    }
    void add(const vec3 &v)
    {
        add(v.x);
        add(v.y);
        add(v.z);
    }
    void add(const vec4 &v)
    {
        add(v.x);
        add(v.y);
        add(v.z);
        add(v.w);
    }
    void add(const mat4 &m)
    {
        for (float value : m.m)
            add(value);
    }
    void add(const String &text)
    {
        add(uint64_t(text.size()));
        for (int i = 0; i < text.size(); ++i)
            add(uint64_t(static_cast<unsigned char>(text.get()[i])));
    }
    void add(const Ptr<Texture> &texture)
    {
        // Textures come from the streaming registry: a texture that is
        // loaded again is a new object, so its address and size tell it.
        add(uint64_t(reinterpret_cast<uintptr_t>(texture.get())));
        if (texture) {
            add(texture->getWidth());
            add(texture->getHeight());
        }
    }
    uint64_t value() const { return state_; }

private:
    uint64_t state_ = 0x84222325CBF29CE4ull;
};

} // namespace

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
    for (const SceneTriangle &triangle : scene.triangles) {
        for (int c = 0; c < 3; ++c) {
            h.add(triangle.position[c]);
            h.add(triangle.normal[c]);
            h.add(triangle.uv[c]);
        }
        h.add(triangle.shading);
        h.add(triangle.visible);
        h.add(triangle.casts_shadow);
    }
    return h.value();
}

} // namespace render_internal
} // namespace Velmora
