#include "render_raster.h"

#include "render_internal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace Velmora {
namespace render_internal {

namespace {

// Rows per band of parallel work.
constexpr int BAND_ROWS = 16;
// Triangles are clipped to this many view widths around the view, which
// keeps screen coordinates small enough for exact edge tests.
constexpr float GUARD_BAND = 4.0f;
constexpr int MAX_CLIPPED = 12;

struct ClipVertex
{
    vec4 clip;
    float depth;
    vec3 bary;
};

ClipVertex mix(const ClipVertex &a, const ClipVertex &b, float t)
{
    return ClipVertex{Math::lerp(a.clip, b.clip, t), a.depth + (b.depth - a.depth) * t, Math::lerp(a.bary, b.bary, t)};
}

// Clipping planes as dot(plane, clip) >= 0.
const vec4 PLANES[] = {
        vec4(0.0f, 0.0f, 1.0f, 1.0f), // near: z >= -w
        vec4(0.0f, 0.0f, -1.0f, 1.0f), // far: z <= w
        vec4(-1.0f, 0.0f, 0.0f, GUARD_BAND), // x <= g w
        vec4(1.0f, 0.0f, 0.0f, GUARD_BAND), // x >= -g w
        vec4(0.0f, -1.0f, 0.0f, GUARD_BAND), // y <= g w
        vec4(0.0f, 1.0f, 0.0f, GUARD_BAND), // y >= -g w
        vec4(0.0f, 0.0f, 0.0f, 1.0f), // w > 0 (offset below)
};
constexpr float MIN_W = 1e-6f;

float distanceTo(const vec4 &plane, const vec4 &clip, int index)
{
    const float d = Math::dot(plane, clip);
    return index == 6 ? d - MIN_W : d;
}

int clipPolygon(ClipVertex *polygon, int count)
{
    ClipVertex scratch[MAX_CLIPPED];
    for (int p = 0; p < 7 && count > 0; ++p) {
        int out = 0;
        for (int i = 0; i < count; ++i) {
            const ClipVertex &a = polygon[i];
            const ClipVertex &b = polygon[(i + 1) % count];
            const float da = distanceTo(PLANES[p], a.clip, p);
            const float db = distanceTo(PLANES[p], b.clip, p);
            if (da >= 0.0f && out < MAX_CLIPPED)
                scratch[out++] = a;
            if ((da >= 0.0f) != (db >= 0.0f) && out < MAX_CLIPPED)
                scratch[out++] = mix(a, b, da / (da - db));
        }
        count = out;
        std::copy(scratch, scratch + count, polygon);
    }
    return count;
}

// Screen positions are snapped to 1/256 pixel; with the guard band their
// edge products then fit a double's mantissa, so edge tests are exact and
// two triangles that share an edge never both or neither cover a pixel.
constexpr float SUBPIXELS = 256.0f;

float snap(float v)
{
    return std::round(v * SUBPIXELS) / SUBPIXELS;
}

double edge(float ax, float ay, float bx, float by, float px, float py)
{
    return (double(px) - ax) * (double(by) - ay) - (double(py) - ay) * (double(bx) - ax);
}

void addTriangle(const ClipVertex &v0, const ClipVertex &v1, const ClipVertex &v2, int source, bool tested, int width,
                 int height, Vector<RasterTriangle> &out)
{
    const ClipVertex *corners[3] = {&v0, &v1, &v2};
    RasterTriangle t;
    for (int i = 0; i < 3; ++i) {
        const ClipVertex &v = *corners[i];
        const float q = 1.0f / v.clip.w;
        t.x[i] = snap((v.clip.x * q * 0.5f + 0.5f) * float(width));
        t.y[i] = snap((v.clip.y * q * 0.5f + 0.5f) * float(height));
        t.q[i] = q;
        t.qd[i] = v.depth * q;
        t.qb[i] = v.bary * q;
    }
    double area = edge(t.x[1], t.y[1], t.x[2], t.y[2], t.x[0], t.y[0]);
    if (area == 0.0f || !std::isfinite(area))
        return;
    if (area < 0.0f) {
        std::swap(t.x[1], t.x[2]);
        std::swap(t.y[1], t.y[2]);
        std::swap(t.q[1], t.q[2]);
        std::swap(t.qd[1], t.qd[2]);
        std::swap(t.qb[1], t.qb[2]);
        area = -area;
    }
    t.inv_area = 1.0 / area;
    // Edge i runs from corner i + 1 to corner i + 2. Of two triangles that
    // share an edge, each walks it the other way, so exactly one owns it.
    for (int i = 0; i < 3; ++i) {
        const int a = (i + 1) % 3;
        const int b = (i + 2) % 3;
        const float ex = t.x[b] - t.x[a];
        const float ey = t.y[b] - t.y[a];
        t.owns_edge[i] = ey > 0.0f || (ey == 0.0f && ex < 0.0f);
    }
    const float min_x = std::min({t.x[0], t.x[1], t.x[2]});
    const float max_x = std::max({t.x[0], t.x[1], t.x[2]});
    const float min_y = std::min({t.y[0], t.y[1], t.y[2]});
    const float max_y = std::max({t.y[0], t.y[1], t.y[2]});
    if (max_x < 0.0f || max_y < 0.0f || min_x > float(width) || min_y > float(height))
        return;
    t.min_x = std::max(0, int(std::floor(min_x)));
    t.max_x = std::min(width - 1, int(std::ceil(max_x)));
    t.min_y = std::max(0, int(std::floor(min_y)));
    t.max_y = std::min(height - 1, int(std::ceil(max_y)));
    if (t.min_x > t.max_x || t.min_y > t.max_y)
        return;
    t.source = source;
    t.tested = tested;
    out.append(t);
}

void rasteriseRows(const RasterTriangle &t, int index_in_list, const CutoutTest *test, int row_begin, int row_end,
                   RasterTarget &target)
{
    const int y0 = std::max(t.min_y, row_begin);
    const int y1 = std::min(t.max_y, row_end - 1);
    // Edge i runs from corner i + 1 to corner i + 2. Its value grows by the
    // edge's height from one pixel to the next; the sums stay exact (see
    // snap), so stepping gives the very values edge() would.
    double step[3];
    for (int i = 0; i < 3; ++i)
        step[i] = double(t.y[(i + 2) % 3]) - t.y[(i + 1) % 3];
    for (int y = y0; y <= y1; ++y) {
        const float py = float(y) + 0.5f;
        double e[3];
        for (int i = 0; i < 3; ++i) {
            const int a = (i + 1) % 3;
            const int b = (i + 2) % 3;
            e[i] = edge(t.x[a], t.y[a], t.x[b], t.y[b], float(t.min_x) + 0.5f, py);
        }
        // Skip to just before the first pixel that an edge rising along the
        // row lets in (the tests below still decide every pixel).
        int skip = 0;
        for (int i = 0; i < 3; ++i) {
            if (step[i] > 0.0 && e[i] < 0.0)
                skip = std::max(skip, int(std::min(-e[i] / step[i], double(t.max_x - t.min_x + 1))) - 1);
        }
        for (int i = 0; i < 3; ++i)
            e[i] += double(skip) * step[i];
        // A row crosses the triangle once: after it, nothing more is inside.
        bool entered = false;
        for (int x = t.min_x + skip; x <= t.max_x; ++x, e[0] += step[0], e[1] += step[1], e[2] += step[2]) {
            const bool inside = (e[0] > 0.0 || (e[0] == 0.0 && t.owns_edge[0]))
                    && (e[1] > 0.0 || (e[1] == 0.0 && t.owns_edge[1]))
                    && (e[2] > 0.0 || (e[2] == 0.0 && t.owns_edge[2]));
            if (!inside) {
                if (entered)
                    break;
                continue;
            }
            entered = true;
            const float l0 = float(e[0] * t.inv_area);
            const float l1 = float(e[1] * t.inv_area);
            const float l2 = float(e[2] * t.inv_area);
            const float q = l0 * t.q[0] + l1 * t.q[1] + l2 * t.q[2];
            if (!(q > 0.0f))
                continue;
            const float depth = (l0 * t.qd[0] + l1 * t.qd[1] + l2 * t.qd[2]) / q;
            const int index = y * target.width + x;
            if (!(depth < target.depth[index]))
                continue;
            if (t.tested && test && !test->keep(t.source, t.bary(vec3(l0, l1, l2))))
                continue;
            target.depth[index] = depth;
            if (target.triangle)
                target.triangle[index] = index_in_list;
            if (target.weights)
                target.weights[index] = vec3(l0, l1, l2);
        }
    }
}

} // namespace

void setupTriangle(const vec4 clip[3], const float depth[3], int source, bool tested, int width, int height,
                   Vector<RasterTriangle> &out)
{
    ClipVertex polygon[MAX_CLIPPED];
    polygon[0] = ClipVertex{clip[0], depth[0], vec3(1.0f, 0.0f, 0.0f)};
    polygon[1] = ClipVertex{clip[1], depth[1], vec3(0.0f, 1.0f, 0.0f)};
    polygon[2] = ClipVertex{clip[2], depth[2], vec3(0.0f, 0.0f, 1.0f)};
    bool inside = true;
    for (int p = 0; p < 7 && inside; ++p) {
        for (int i = 0; i < 3 && inside; ++i)
            inside = distanceTo(PLANES[p], clip[i], p) >= 0.0f;
    }
    const int count = inside ? 3 : clipPolygon(polygon, 3);
    for (int i = 1; i + 1 < count; ++i)
        addTriangle(polygon[0], polygon[i], polygon[i + 1], source, tested, width, height, out);
}

void rasterise(const Vector<RasterTriangle> &triangles, const CutoutTest *test, RasterTarget &target,
               const std::function<void(int, int)> &band_done)
{
    const int bands = (target.height + BAND_ROWS - 1) / BAND_ROWS;
    std::vector<std::vector<int>> bins(size_t(std::max(0, bands)));
    for (int i = 0; i < triangles.size(); ++i) {
        const RasterTriangle &t = triangles[i];
        for (int band = t.min_y / BAND_ROWS; band <= t.max_y / BAND_ROWS && band < bands; ++band)
            bins[size_t(band)].push_back(i);
    }
    const RasterTriangle *data = triangles.data();
    forBands(target.height, BAND_ROWS, [&](int begin, int end) {
        const size_t row_pixels = size_t(target.width);
        std::fill(target.depth + size_t(begin) * row_pixels, target.depth + size_t(end) * row_pixels,
                  std::numeric_limits<float>::infinity());
        if (target.triangle)
            std::fill(target.triangle + size_t(begin) * row_pixels, target.triangle + size_t(end) * row_pixels, -1);
        for (int index : bins[size_t(begin / BAND_ROWS)])
            rasteriseRows(data[index], index, test, begin, end, target);
        if (band_done)
            band_done(begin, end);
    });
}

} // namespace render_internal
} // namespace Velmora
