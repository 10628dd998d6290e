#pragma once

#include "velmora/Math.h"

#include <cmath>

namespace Velmora {
namespace render_internal {

// Inline forms of the vector operations the renderer's per-pixel loops use,
// with the results of the Math functions they stand for (unit: up to the
// last place, as it multiplies by the inverse length).

inline float dot3(const vec3 &a, const vec3 &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Math::normalize: a zero vector stays zero.
inline vec3 unit(const vec3 &v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(length > 0.0f))
        return v;
    const float inverse = 1.0f / length;
    return vec3(v.x * inverse, v.y * inverse, v.z * inverse);
}

// m * (v, 1), dropping w.
inline vec3 transformPoint(const mat4 &m, const vec3 &v)
{
    const float *a = m.m;
    return vec3(a[0] * v.x + a[4] * v.y + a[8] * v.z + a[12], a[1] * v.x + a[5] * v.y + a[9] * v.z + a[13],
                a[2] * v.x + a[6] * v.y + a[10] * v.z + a[14]);
}

// m * (v, 0), dropping w.
inline vec3 transformVector(const mat4 &m, const vec3 &v)
{
    const float *a = m.m;
    return vec3(a[0] * v.x + a[4] * v.y + a[8] * v.z, a[1] * v.x + a[5] * v.y + a[9] * v.z,
                a[2] * v.x + a[6] * v.y + a[10] * v.z);
}

// m * (v, 1).
inline vec4 transformPoint4(const mat4 &m, const vec3 &v)
{
    const float *a = m.m;
    return vec4(a[0] * v.x + a[4] * v.y + a[8] * v.z + a[12], a[1] * v.x + a[5] * v.y + a[9] * v.z + a[13],
                a[2] * v.x + a[6] * v.y + a[10] * v.z + a[14], a[3] * v.x + a[7] * v.y + a[11] * v.z + a[15]);
}

} // namespace render_internal
} // namespace Velmora
