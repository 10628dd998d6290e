#pragma once

// The renderer's fingerprints: what a view's picture or a shadow map is made
// of, folded into 64 bits.

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Texture.h"

#include <cstdint>
#include <cstring>

namespace Velmora {
namespace render_internal {

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
    // count floats laid out one after another from data, two to a step
    // (their bits side by side): the same change detection as one add per
    // float at half the steps.
    void addFloats(const void *data, int count)
    {
        const unsigned char *bytes = static_cast<const unsigned char *>(data);
        int i = 0;
        for (; i + 1 < count; i += 2) {
            uint64_t bits = 0;
            std::memcpy(&bits, bytes + i * sizeof(float), sizeof bits);
            add(bits);
        }
        if (i < count) {
            float last = 0.0f;
            std::memcpy(&last, bytes + i * sizeof(float), sizeof last);
            add(last);
        }
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

} // namespace render_internal
} // namespace Velmora
