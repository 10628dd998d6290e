#pragma once

#include "velmora/Math.h"
#include "velmora/Vector.h"

#include <functional>

namespace Velmora {
namespace render_internal {

// A triangle set up for a target of width x height pixels whose row 0 is
// the bottom row. Attributes are kept divided by the clip w so that they
// interpolate linearly across the screen.
struct RasterTriangle
{
    float x[3];
    float y[3];
    float q[3]; // 1 / clip w
    float qd[3]; // linear view depth / clip w
    vec3 qb[3]; // barycentric coordinates in the source triangle / clip w
    double inv_area = 0.0;
    bool owns_edge[3];
    int min_x = 0;
    int max_x = -1;
    int min_y = 0;
    int max_y = -1;
    int source = 0;
    bool tested = false; // fragments go through the cutout test

    // The barycentric coordinates in the source triangle of a fragment with
    // screen-space weights l (edge values times inv_area).
    vec3 bary(const vec3 &l) const
    {
        const float w = l.x * q[0] + l.y * q[1] + l.z * q[2];
        return (qb[0] * l.x + qb[1] * l.y + qb[2] * l.z) * (1.0f / w);
    }
};

// Clips a triangle (clip-space corners and their linear view depths) to
// the near and far planes and a guard band around the view, and appends the
// pieces that reach the target.
void setupTriangle(const vec4 clip[3], const float depth[3], int source, bool tested, int width, int height,
                   Vector<RasterTriangle> &out);

// Decides whether a fragment of a tested triangle is kept.
class CutoutTest
{
public:
    virtual ~CutoutTest() = default;
    virtual bool keep(int source, const vec3 &bary) const = 0;
};

// The buffers a rasterisation writes: per pixel the nearest linear depth
// (+infinity when nothing covers it) and, optionally, the index of the
// covering triangle in the rasterised list (-1 for none) with the fragment's
// screen-space weights, from which RasterTriangle::bary gives its
// barycentric coordinates (weights are left as they were where nothing
// covers the pixel). Keeping the weights defers that division to the
// fragments that stay.
struct RasterTarget
{
    int width = 0;
    int height = 0;
    float *depth = nullptr;
    int *triangle = nullptr;
    vec3 *weights = nullptr;
};

// Clears the target and rasterises the triangles into it, row bands in
// parallel on the renderer's pool. Pixel centres decide coverage, shared
// edges belong to exactly one triangle, the nearest depth wins and
// an equal depth keeps the earlier triangle. When given, band_done(begin,
// end) runs on the band's thread once rows begin .. end - 1 are final.
void rasterise(const Vector<RasterTriangle> &triangles, const CutoutTest *test, RasterTarget &target,
               const std::function<void(int, int)> &band_done = nullptr);

} // namespace render_internal
} // namespace Velmora
