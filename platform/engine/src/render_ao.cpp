#include "render_ao.h"

#include "render_internal.h"
#include "render_math.h"

#include <algorithm>
#include <cmath>

// The occlusion search runs on SSE2, which every x86-64 processor has.
#if !defined(__SSE2__)
#error "the occlusion search needs SSE2"
#endif
#include <emmintrin.h>

namespace Velmora {
namespace render_internal {

namespace {

constexpr int DIRECTIONS = 16;
// Largest screen distance, in pixels, the horizon search walks. The reach
// of a pixel's search is rounded to a quarter pixel, so that the steps of a
// grid pixel's search come from a table.
constexpr float MAX_PIXELS = 48.0f;
constexpr int REACH_QUANTA_PER_PIXEL = 4;
constexpr int REACH_QUANTA = int(MAX_PIXELS) * REACH_QUANTA_PER_PIXEL + 1;
constexpr int ROWS_PER_BAND = 8;
// A pixel between coarse samples uses those no farther from its tangent
// plane than this share of its depth, with normals at most about 25 degrees
// from its own.
constexpr float PLANE_TOLERANCE = 0.02f;
constexpr float NORMAL_TOLERANCE = 0.9f;

// One step of the horizon search for four directions at once: per lane, the
// sample (qx, qy, qz; qw = 0 for no surface) raises the best horizon when it
// counts (still walking, inside the radius, not the pixel itself) and its
// e^2 / v^2 is higher, compared crosswise.
struct HorizonLanes
{
    HorizonLanes(const vec3 &p, const vec3 &n, float inv_r2)
        : px(_mm_set1_ps(p.x))
        , py(_mm_set1_ps(p.y))
        , pz(_mm_set1_ps(p.z))
        , nx(_mm_set1_ps(n.x))
        , ny(_mm_set1_ps(n.y))
        , nz(_mm_set1_ps(n.z))
        , inv_radius2(_mm_set1_ps(inv_r2))
    {}

    void step(__m128 qx, __m128 qy, __m128 qz, __m128 qw, __m128 walking, __m128 &best_e2, __m128 &best_v2) const
    {
        _MM_TRANSPOSE4_PS(qx, qy, qz, qw);
        const __m128 vx = _mm_sub_ps(qx, px);
        const __m128 vy = _mm_sub_ps(qy, py);
        const __m128 vz = _mm_sub_ps(qz, pz);
        const __m128 v2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, vx), _mm_mul_ps(vy, vy)), _mm_mul_ps(vz, vz));
        const __m128 falloff = _mm_sub_ps(one, _mm_mul_ps(v2, inv_radius2));
        const __m128 dot = _mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, nx), _mm_mul_ps(vy, ny)), _mm_mul_ps(vz, nz));
        const __m128 e = _mm_mul_ps(dot, falloff);
        const __m128 e2 = _mm_mul_ps(e, e);
        const __m128 counts = _mm_and_ps(_mm_and_ps(walking, _mm_cmpneq_ps(qw, zero)),
                                         _mm_and_ps(_mm_cmpge_ps(v2, tiny), _mm_cmpge_ps(falloff, zero)));
        const __m128 higher = _mm_and_ps(_mm_and_ps(counts, _mm_cmpgt_ps(e, zero)),
                                         _mm_cmpgt_ps(_mm_mul_ps(e2, best_v2), _mm_mul_ps(best_e2, v2)));
        best_e2 = _mm_or_ps(_mm_and_ps(higher, e2), _mm_andnot_ps(higher, best_e2));
        best_v2 = _mm_or_ps(_mm_and_ps(higher, v2), _mm_andnot_ps(higher, best_v2));
    }

    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 tiny = _mm_set1_ps(1e-12f);
    const __m128 px, py, pz;
    const __m128 nx, ny, nz;
    const __m128 inv_radius2;
};

// The 16 search directions in the screen plane.
struct Directions
{
    alignas(16) float x[DIRECTIONS];
    alignas(16) float y[DIRECTIONS];

    Directions()
    {
        for (int k = 0; k < DIRECTIONS; ++k) {
            const float angle = (float(k) + 0.5f) * 2.0f * Math::PI / float(DIRECTIONS);
            x[k] = std::cos(angle);
            y[k] = std::sin(angle);
        }
    }
};

const Directions &directions()
{
    static const Directions table;
    return table;
}

} // namespace

// The search reads the positions of the coarse grid only (a quarter of the
// memory, so that a band's neighbourhood stays in the cache): a sample
// lands in a pixel and takes the position of the grid point of its 2 x 2
// cell.
class AmbientOcclusion::Search
{
public:
    Search(const AmbientOcclusionInput &input, const vec4 *grid)
        : in_(input)
        , grid_(grid)
        , grid_width_((input.width + 1) / 2)
        , steps_(input.quality <= 0           ? 2
                         : input.quality == 1 ? 3
                         : input.quality == 2 ? 4
                                              : 6)
        , inv_radius2_(1.0f / (input.radius * input.radius))
        , threshold_(Math::clamp(input.threshold, 0.0f, 0.99f))
        , inv_open_(1.0f / (1.0f - threshold_))
        , directions_(directions())
    {
        // For each reach, direction and step: the offset of the grid point
        // whose cell the step lands in, from a grid pixel's own.
        const Directions &d = directions();
        cells_ = Vector<int>(REACH_QUANTA * DIRECTIONS * steps_);
        offsets_x_ = Vector<int>(cells_.size());
        offsets_y_ = Vector<int>(cells_.size());
        for (int q = 0; q < REACH_QUANTA; ++q) {
            const float reach = float(q) / float(REACH_QUANTA_PER_PIXEL);
            for (int k = 0; k < DIRECTIONS; ++k) {
                const float step_x = d.x[k] * reach / float(steps_);
                const float step_y = d.y[k] * reach / float(steps_);
                for (int s = 1; s <= steps_; ++s) {
                    const int ox = int(std::floor(0.5f + step_x * float(s)));
                    const int oy = int(std::floor(0.5f + step_y * float(s)));
                    cells_[cellIndex(q, k, s)] = (oy >> 1) * grid_width_ + (ox >> 1);
                    offsets_x_[cellIndex(q, k, s)] = ox;
                    offsets_y_[cellIndex(q, k, s)] = oy;
                }
            }
        }
    }

    // The search at one covered pixel.
    void at(int x, int y, float &ssao, vec3 &bent_normal) const
    {
        const int i = y * in_.width + x;
        const vec3 p = in_.points[i].xyz();
        const vec3 n = in_.normals[i];
        const float exact
                = std::min(MAX_PIXELS, in_.radius * in_.pixel_scale / (in_.perspective ? std::max(-p.z, 1e-4f) : 1.0f));
        if (!(exact >= 1.0f)) {
            ssao = 1.0f;
            bent_normal = n;
            return;
        }
        const int quanta = int(exact * float(REACH_QUANTA_PER_PIXEL) + 0.5f);
        const float reach = float(quanta) / float(REACH_QUANTA_PER_PIXEL);
        // Sine of the highest (distance-weighted) elevation per direction.
        alignas(16) float horizon[DIRECTIONS];
        const int margin = quanta / REACH_QUANTA_PER_PIXEL + 2;
        if (x % 2 == 0 && y % 2 == 0) {
            const int cell = (y / 2) * grid_width_ + x / 2;
            const bool inside = x >= margin && y >= margin && x + margin < in_.width && y + margin < in_.height;
            const int entry = cellIndex(quanta, 0, 1);
            if (inside)
                horizonsFromTable<false>(x, y, cell, entry, p, n, horizon);
            else
                horizonsFromTable<true>(x, y, cell, entry, p, n, horizon);
        } else {
            for (int k = 0; k < DIRECTIONS; k += 4)
                horizons(k, float(x) + 0.5f, float(y) + 0.5f, reach, p, n, horizon + k);
        }
        // Four running sums, one per lane of four directions, added up at
        // the end (the same order with and without vector instructions).
        alignas(16) float occlusion[4];
        alignas(16) float bent_x[4];
        alignas(16) float bent_y[4];
        alignas(16) float bent_z[4];
        openArcs(horizon, n, occlusion, bent_x, bent_y, bent_z);
        const float total = occlusion[0] + occlusion[1] + occlusion[2] + occlusion[3];
        ssao = Math::clamp(1.0f - in_.intensity * (total / float(DIRECTIONS)), 0.0f, 1.0f);
        const vec3 bent(bent_x[0] + bent_x[1] + bent_x[2] + bent_x[3], bent_y[0] + bent_y[1] + bent_y[2] + bent_y[3],
                        bent_z[0] + bent_z[1] + bent_z[2] + bent_z[3]);
        const vec3 mean = unit(bent);
        bent_normal = mean.length2() > 0.0f ? mean : n;
    }

private:
    // Directions k .. k + 3: the steps walk out from the pixel centre to the
    // reach; a step's sample is the pixel it lands in, and a walk ends where
    // it leaves the view. Samples off the geometry, at the pixel itself or
    // beyond the radius count for nothing. A sample's weighted elevation is
    // e / |v| with e = (v . n) (1 - |v|^2 / radius^2); the walk keeps the
    // highest as the fraction e^2 / |v|^2 (only positive e can raise it) and
    // compares fractions crosswise, so that it needs no division or root per
    // sample.
    void horizons(int k, float origin_x, float origin_y, float reach, const vec3 &p, const vec3 &n, float *out) const
    {
        const Directions &d = directions_;
        const int width = in_.width;
        const __m128 steps = _mm_set1_ps(float(steps_));
        const __m128 step_x = _mm_div_ps(_mm_mul_ps(_mm_load_ps(d.x + k), _mm_set1_ps(reach)), steps);
        const __m128 step_y = _mm_div_ps(_mm_mul_ps(_mm_load_ps(d.y + k), _mm_set1_ps(reach)), steps);
        const HorizonLanes lanes(p, n, inv_radius2_);
        const __m128 zero = lanes.zero;
        const __m128 view_w = _mm_set1_ps(float(width));
        const __m128 view_h = _mm_set1_ps(float(in_.height));
        __m128 best_e2 = zero;
        __m128 best_v2 = lanes.one;
        __m128 walking = _mm_cmpeq_ps(zero, zero);
        for (int s = 1; s <= steps_; ++s) {
            const __m128 scale = _mm_set1_ps(float(s));
            const __m128 fx = _mm_add_ps(_mm_set1_ps(origin_x), _mm_mul_ps(step_x, scale));
            const __m128 fy = _mm_add_ps(_mm_set1_ps(origin_y), _mm_mul_ps(step_y, scale));
            const __m128 inside = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(fx, zero), _mm_cmpge_ps(fy, zero)),
                                             _mm_and_ps(_mm_cmplt_ps(fx, view_w), _mm_cmplt_ps(fy, view_h)));
            walking = _mm_and_ps(walking, inside);
            if (_mm_movemask_ps(walking) == 0)
                break;
            // Lanes that stopped read pixel 0 and are masked out below.
            alignas(16) int ix[4];
            alignas(16) int iy[4];
            _mm_store_si128(reinterpret_cast<__m128i *>(ix), _mm_cvttps_epi32(_mm_and_ps(fx, walking)));
            _mm_store_si128(reinterpret_cast<__m128i *>(iy), _mm_cvttps_epi32(_mm_and_ps(fy, walking)));
            __m128 qx = _mm_loadu_ps(&grid_[(iy[0] >> 1) * grid_width_ + (ix[0] >> 1)].x);
            __m128 qy = _mm_loadu_ps(&grid_[(iy[1] >> 1) * grid_width_ + (ix[1] >> 1)].x);
            __m128 qz = _mm_loadu_ps(&grid_[(iy[2] >> 1) * grid_width_ + (ix[2] >> 1)].x);
            __m128 qw = _mm_loadu_ps(&grid_[(iy[3] >> 1) * grid_width_ + (ix[3] >> 1)].x);
            lanes.step(qx, qy, qz, qw, walking, best_e2, best_v2);
        }
        _mm_store_ps(out, _mm_sqrt_ps(_mm_div_ps(best_e2, best_v2)));
    }

    // Per direction: the occlusion above the threshold, and the middle of
    // the open arc, which runs from the horizon (elevation asin h) up to the
    // normal: its cosine is sqrt((1 - h) / 2) and its sine sqrt((1 + h) / 2)
    // by the half-angle formulas, along the direction's tangent and the
    // normal. Summed per lane.
    void openArcs(const float *horizon, const vec3 &n, float *occlusion, float *bent_x, float *bent_y,
                  float *bent_z) const
    {
        const Directions &d = directions_;
        const __m128 zero = _mm_setzero_ps();
        const __m128 one = _mm_set1_ps(1.0f);
        const __m128 half = _mm_set1_ps(0.5f);
        const __m128 threshold = _mm_set1_ps(threshold_);
        const __m128 inv_open = _mm_set1_ps(inv_open_);
        const __m128 nx = _mm_set1_ps(n.x), ny = _mm_set1_ps(n.y), nz = _mm_set1_ps(n.z);
        __m128 sum = zero, sum_x = zero, sum_y = zero, sum_z = zero;
        for (int k = 0; k < DIRECTIONS; k += 4) {
            const __m128 h = _mm_load_ps(horizon + k);
            sum = _mm_add_ps(sum, _mm_max_ps(_mm_mul_ps(_mm_sub_ps(h, threshold), inv_open), zero));
            const __m128 open = _mm_min_ps(_mm_max_ps(h, zero), one);
            const __m128 dx = _mm_load_ps(d.x + k);
            const __m128 dy = _mm_load_ps(d.y + k);
            const __m128 along = _mm_add_ps(_mm_mul_ps(dx, nx), _mm_mul_ps(dy, ny));
            __m128 tx = _mm_sub_ps(dx, _mm_mul_ps(nx, along));
            __m128 ty = _mm_sub_ps(dy, _mm_mul_ps(ny, along));
            __m128 tz = _mm_sub_ps(zero, _mm_mul_ps(nz, along));
            const __m128 length
                    = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(tx, tx), _mm_mul_ps(ty, ty)), _mm_mul_ps(tz, tz)));
            // A zero tangent (the direction along the normal) stays zero.
            const __m128 scale = _mm_cmpgt_ps(length, zero);
            const __m128 divisor = _mm_or_ps(_mm_and_ps(scale, length), _mm_andnot_ps(scale, one));
            const __m128 inverse = _mm_div_ps(one, divisor);
            tx = _mm_mul_ps(tx, inverse);
            ty = _mm_mul_ps(ty, inverse);
            tz = _mm_mul_ps(tz, inverse);
            const __m128 across = _mm_sqrt_ps(_mm_mul_ps(_mm_sub_ps(one, open), half));
            const __m128 up = _mm_sqrt_ps(_mm_mul_ps(_mm_add_ps(one, open), half));
            sum_x = _mm_add_ps(sum_x, _mm_add_ps(_mm_mul_ps(tx, across), _mm_mul_ps(nx, up)));
            sum_y = _mm_add_ps(sum_y, _mm_add_ps(_mm_mul_ps(ty, across), _mm_mul_ps(ny, up)));
            sum_z = _mm_add_ps(sum_z, _mm_add_ps(_mm_mul_ps(tz, across), _mm_mul_ps(nz, up)));
        }
        _mm_store_ps(occlusion, sum);
        _mm_store_ps(bent_x, sum_x);
        _mm_store_ps(bent_y, sum_y);
        _mm_store_ps(bent_z, sum_z);
    }

    // The table entry of a reach, direction and step (1 ..): four
    // directions' entries of one step lie side by side.
    int cellIndex(int quanta, int k, int s) const
    {
        return ((quanta * (DIRECTIONS / 4) + k / 4) * steps_ + (s - 1)) * 4 + k % 4;
    }

    // horizons for a grid pixel (x, y), all directions from the table entry
    // of the first: the samples' grid points come from the table. Bounded:
    // some walk may leave the view. The four lanes of directions walk side
    // by side, one step of each at a time, so that their chains of
    // comparisons overlap.
    template<bool bounded>
    void horizonsFromTable(int x, int y, int cell, int entry, const vec3 &p, const vec3 &n, float *out) const
    {
        constexpr int GROUPS = DIRECTIONS / 4;
        // Entries of one lane of directions lie steps_ * 4 apart.
        const int group_stride = steps_ * 4;
        const int *cells = cells_.data() + entry;
        const int *offsets_x = offsets_x_.data() + entry;
        const int *offsets_y = offsets_y_.data() + entry;
        const HorizonLanes lanes(p, n, inv_radius2_);
        const __m128 zero = lanes.zero;
        __m128 best_e2[GROUPS];
        __m128 best_v2[GROUPS];
        __m128 walking[GROUPS];
        for (int g = 0; g < GROUPS; ++g) {
            best_e2[g] = zero;
            best_v2[g] = lanes.one;
            walking[g] = _mm_cmpeq_ps(zero, zero);
        }
        const vec4 *origin = grid_ + cell;
        const __m128i px = _mm_set1_epi32(x);
        const __m128i py = _mm_set1_epi32(y);
        const __m128i below = _mm_set1_epi32(-1);
        const __m128i view_w = _mm_set1_epi32(in_.width);
        const __m128i view_h = _mm_set1_epi32(in_.height);
        for (int s = 0; s < steps_; ++s) {
            for (int g = 0; g < GROUPS; ++g) {
                const int e = g * group_stride + s * 4;
                alignas(16) int at[4] = {cells[e], cells[e + 1], cells[e + 2], cells[e + 3]};
                if (bounded) {
                    // A walk ends where it leaves the view; stopped lanes
                    // read the pixel's own grid point and are masked out.
                    const __m128i sx
                            = _mm_add_epi32(px, _mm_loadu_si128(reinterpret_cast<const __m128i *>(offsets_x + e)));
                    const __m128i sy
                            = _mm_add_epi32(py, _mm_loadu_si128(reinterpret_cast<const __m128i *>(offsets_y + e)));
                    const __m128i in_x = _mm_and_si128(_mm_cmpgt_epi32(sx, below), _mm_cmplt_epi32(sx, view_w));
                    const __m128i in_y = _mm_and_si128(_mm_cmpgt_epi32(sy, below), _mm_cmplt_epi32(sy, view_h));
                    walking[g] = _mm_and_ps(walking[g], _mm_castsi128_ps(_mm_and_si128(in_x, in_y)));
                    const int mask = _mm_movemask_ps(walking[g]);
                    if (mask == 0)
                        continue;
                    _mm_store_si128(reinterpret_cast<__m128i *>(at),
                                    _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(cells + e)),
                                                  _mm_castps_si128(walking[g])));
                }
                __m128 qx = _mm_loadu_ps(&origin[at[0]].x);
                __m128 qy = _mm_loadu_ps(&origin[at[1]].x);
                __m128 qz = _mm_loadu_ps(&origin[at[2]].x);
                __m128 qw = _mm_loadu_ps(&origin[at[3]].x);
                lanes.step(qx, qy, qz, qw, walking[g], best_e2[g], best_v2[g]);
            }
        }
        for (int g = 0; g < GROUPS; ++g)
            _mm_store_ps(out + 4 * g, _mm_sqrt_ps(_mm_div_ps(best_e2[g], best_v2[g])));
    }

    const AmbientOcclusionInput &in_;
    const vec4 *grid_;
    const int grid_width_;
    const int steps_;
    const float inv_radius2_;
    const float threshold_;
    const float inv_open_;
    const Directions &directions_;
    Vector<int> cells_;
    Vector<int> offsets_x_;
    Vector<int> offsets_y_;
};

int ambientOcclusionCoarseSize(int width, int height)
{
    return ((width + 1) / 2) * ((height + 1) / 2);
}

AmbientOcclusion::AmbientOcclusion(const AmbientOcclusionInput &input, vec4 *coarse_points, float *coarse_ao,
                                   vec3 *coarse_bent, float *ssao, vec3 *bent_normal)
    : input_(input)
    , coarse_points_(coarse_points)
    , coarse_ao_(coarse_ao)
    , coarse_bent_(coarse_bent)
    , ssao_(ssao)
    , bent_normal_(bent_normal)
{}

AmbientOcclusion::~AmbientOcclusion() = default;

void AmbientOcclusion::search()
{
    const int coarse_height = (input_.height + 1) / 2;
    forBands(input_.height, 2 * ROWS_PER_BAND, [this](int begin, int end) { gather(begin, end); });
    prepare();
    forBands(coarse_height, ROWS_PER_BAND / 2, [this](int begin, int end) { searchGrid(begin, end); });
}

void AmbientOcclusion::gather(int begin, int end)
{
    // The coarse grid: pixels (2 cx, 2 cy).
    const int width = input_.width;
    const int coarse_width = (width + 1) / 2;
    for (int y = begin + (begin & 1); y < end; y += 2) {
        const vec4 *row = input_.points + size_t(y) * size_t(width);
        vec4 *coarse = coarse_points_ + size_t(y / 2) * size_t(coarse_width);
        for (int cx = 0; cx < coarse_width; ++cx)
            coarse[cx] = row[2 * cx];
    }
}

void AmbientOcclusion::prepare()
{
    search_.reset(new Search(input_, coarse_points_));
}

void AmbientOcclusion::searchGrid(int begin, int end)
{
    const int width = input_.width;
    const vec4 *points = input_.points;
    const int coarse_width = (width + 1) / 2;
    const Search &search = *search_;
    for (int cy = begin; cy < end; ++cy) {
        for (int cx = 0; cx < coarse_width; ++cx) {
            const int c = cy * coarse_width + cx;
            if (points[(2 * cy) * width + 2 * cx].w != 0.0f)
                search.at(2 * cx, 2 * cy, coarse_ao_[c], coarse_bent_[c]);
        }
    }
}

void AmbientOcclusion::fill(int begin, int end) const
{
    const int width = input_.width;
    const int height = input_.height;
    const vec4 *points = input_.points;
    const vec3 *normals = input_.normals;
    const int coarse_width = (width + 1) / 2;
    const vec4 *coarse_points = coarse_points_;
    const float *coarse_ao = coarse_ao_;
    const vec3 *coarse_bent = coarse_bent_;
    float *ssao = ssao_;
    vec3 *bent_normal = bent_normal_;
    const Search &search = *search_;
    for (int y = begin; y < end; ++y) {
        // The grid rows at or around this row.
        const int rows = (y & 1) && y + 1 < height ? 2 : 1;
        const int grid_rows[2] = {y / 2, y / 2 + rows - 1};
        for (int x = 0; x < width; ++x) {
            const int i = y * width + x;
            const vec4 p = points[i];
            if (p.w == 0.0f)
                continue;
            const int columns = (x & 1) && x + 1 < width ? 2 : 1;
            if (columns == 1 && rows == 1 && (x & 1) == 0 && (y & 1) == 0) {
                const int c = (y / 2) * coarse_width + x / 2;
                ssao[i] = coarse_ao[c];
                bent_normal[i] = coarse_bent[c];
                continue;
            }
            const vec3 n = normals[i];
            const float tolerance = PLANE_TOLERANCE * std::max(std::fabs(p.z), 1e-4f);
            float count = 0.0f;
            float ao = 0.0f;
            vec3 bent;
            int last = -1;
            for (int b = 0; b < rows; ++b) {
                for (int a = 0; a < columns; ++a) {
                    const int c = grid_rows[b] * coarse_width + x / 2 + a;
                    const vec4 q = coarse_points[c];
                    const float off_plane = (q.x - p.x) * n.x + (q.y - p.y) * n.y + (q.z - p.z) * n.z;
                    if (q.w == 0.0f || !(std::fabs(off_plane) <= tolerance)
                        || !(dot3(normals[(2 * grid_rows[b]) * width + 2 * (x / 2 + a)], n) >= NORMAL_TOLERANCE))
                        continue;
                    ao += coarse_ao[c];
                    bent += coarse_bent[c];
                    count += 1.0f;
                    last = c;
                }
            }
            if (count == 0.0f) {
                search.at(x, y, ssao[i], bent_normal[i]);
            } else if (count == 1.0f) {
                ssao[i] = coarse_ao[last];
                bent_normal[i] = coarse_bent[last];
            } else {
                ssao[i] = ao / count;
                const vec3 mean = unit(bent);
                bent_normal[i] = mean.length2() > 0.0f ? mean : n;
            }
        }
    }
}

} // namespace render_internal
} // namespace Velmora
