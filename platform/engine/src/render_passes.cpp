// The full-screen passes behind the impostor base materials. Each factory
// reads the material's states once and returns the function that fills one
// output row; RenderRitual runs the rows in parallel.
//
// Encodings (the impostor atlases depend on them):
// - coverage: alpha > 0 (the rasteriser writes 0 or 1);
// - colours (albedo, albedo x SSAO) are gamma 2.2 encoded like the final
//   image; lighting values (irradiance) stay linear;
// - normals are view-space (x right, y up, z toward the camera), stored as
//   n * 0.5 + 0.5;
// - depth is impostor_plane_distance - linear view depth: world units toward
//   the camera from the plane through the pivot, 0 on the background.

#include "velmora/Log.h"
#include "velmora/RenderRitual.h"
#include "velmora/Texture.h"

#include "render_internal.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace Velmora {
namespace render_internal {

namespace {

using Context = RenderRitual::PassContext;
using RowFunction = RenderRitual::RowFunction;

constexpr float GAMMA = 2.2f;

float luminance(const vec4 &c)
{
    return 0.2126f * c.x + 0.7152f * c.y + 0.0722f * c.z;
}

float encode(float linear)
{
    return std::pow(std::max(0.0f, linear), 1.0f / GAMMA);
}

vec3 encode(const vec3 &linear)
{
    return vec3(encode(linear.x), encode(linear.y), encode(linear.z));
}

vec3 toColor(const vec3 &normal)
{
    return normal * 0.5f + vec3(0.5f);
}

// Writes out1 only when the pass has a second output.
void store(vec4 *out1, int x, const vec4 &value)
{
    if (out1)
        out1[x] = value;
}

RowFunction silhouette(const Context &c)
{
    return [c](int y, vec4 *out0, vec4 *out1) {
        for (int x = 0; x < c.width; ++x) {
            const int i = c.gbufferIndex(x, y);
            const float covered = i >= 0 && c.gbuffer->coverage.data()[i] > 0.0f ? 1.0f : 0.0f;
            out0[x] = vec4(covered, 0.0f, 0.0f, covered);
            store(out1, x, out0[x]);
        }
    };
}

RowFunction blendSilhouettes(const Context &c)
{
    return [c](int y, vec4 *out0, vec4 *out1) {
        for (int x = 0; x < c.width; ++x) {
            const vec4 a = c.input(0, x, y);
            const vec4 b = c.input(1, x, y);
            out0[x] = vec4(std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z), std::max(a.w, b.w));
            store(out1, x, out0[x]);
        }
    };
}

// One pixel of dilation: an uncovered pixel next to covered ones takes the
// mean colour of those neighbours and becomes covered.
RowFunction extrude(const Context &c)
{
    const bool separate = c.getState("is_separate_alpha_texture") != 0;
    const int alpha_input = separate ? 1 : 0;
    return [c, separate, alpha_input](int y, vec4 *out0, vec4 *out1) {
        // Rows above, at and below y of the colour and the coverage input;
        // null outside the texture. Inputs of another size are sampled into
        // a row of their own first.
        const vec4 *color[3] = {};
        const vec4 *alpha[3] = {};
        Vector<vec4> resampled[6];
        for (int dy = -1; dy <= 1; ++dy) {
            const int ny = y + dy;
            if (ny < 0 || ny >= c.height)
                continue;
            for (int k = 0; k < 2; ++k) {
                const int input = k == 0 ? 0 : alpha_input;
                const vec4 *row = c.inputRow(input, ny);
                if (!row) {
                    Vector<vec4> &copy = resampled[(dy + 1) * 2 + k];
                    copy = Vector<vec4>(c.width);
                    for (int x = 0; x < c.width; ++x)
                        copy.data()[x] = c.input(input, x, ny);
                    row = copy.data();
                }
                (k == 0 ? color : alpha)[dy + 1] = row;
            }
        }
        for (int x = 0; x < c.width; ++x) {
            const vec4 &self = color[1][x];
            const vec4 &coverage = alpha[1][x];
            out0[x] = self;
            store(out1, x, coverage);
            if (coverage.w > 0.0f)
                continue;
            vec4 sum;
            int count = 0;
            for (int dy = 0; dy < 3; ++dy) {
                if (!alpha[dy])
                    continue;
                for (int nx = std::max(0, x - 1); nx <= std::min(c.width - 1, x + 1); ++nx) {
                    if ((dy == 1 && nx == x) || !(alpha[dy][nx].w > 0.0f))
                        continue;
                    sum += color[dy][nx];
                    ++count;
                }
            }
            if (count == 0)
                continue;
            out0[x] = sum / float(count);
            if (separate)
                store(out1, x, vec4(coverage.xyz(), 1.0f));
            else
                out0[x].w = 1.0f;
        }
    };
}

RowFunction readChannel(const Context &c)
{
    const int channel = Math::clamp(c.getState("channel"), 0, 3);
    return [c, channel](int y, vec4 *out0, vec4 *out1) {
        for (int x = 0; x < c.width; ++x) {
            out0[x] = vec4(c.input(0, x, y)[channel], 0.0f, 0.0f, 0.0f);
            store(out1, x, out0[x]);
        }
    };
}

RowFunction writeChannel(const Context &c)
{
    const int in_channel = Math::clamp(c.getState("in_channel"), 0, 3);
    const int out_channel = Math::clamp(c.getState("out_channel"), 0, 3);
    return [c, in_channel, out_channel](int y, vec4 *out0, vec4 *out1) {
        for (int x = 0; x < c.width; ++x) {
            vec4 value = c.input(0, x, y);
            value[out_channel] = c.input(1, x, y)[in_channel];
            out0[x] = value;
            store(out1, x, value);
        }
    };
}

RowFunction grabGBuffer(const Context &c)
{
    const int mode = c.getState("grab_mode");
    const float plane = c.getParameter("impostor_plane_distance");
    return [c, mode, plane](int y, vec4 *out0, vec4 *out1) {
        const Renderer::GBuffer *g = c.gbuffer;
        for (int x = 0; x < c.width; ++x) {
            const int i = c.gbufferIndex(x, y);
            const float covered = i >= 0 && g->coverage.data()[i] > 0.0f ? 1.0f : 0.0f;
            vec4 value;
            if (covered > 0.0f) {
                switch (mode) {
                case 0:
                    value = vec4(encode(g->albedo.data()[i].xyz()), 1.0f);
                    break;
                case 1:
                    value = vec4(encode(g->albedo.data()[i].xyz() * g->ssao.data()[i]), 1.0f);
                    break;
                case 2:
                    value = vec4(toColor(g->normal.data()[i]), 1.0f);
                    break;
                case 3:
                    value = vec4(toColor(g->bent_normal.data()[i]), 1.0f);
                    break;
                case 4:
                    value = g->shading.data()[i];
                    break;
                case 5:
                    value = vec4(vec3(g->baked_ao.data()[i]), 1.0f);
                    break;
                case 6:
                    value = vec4(vec3(g->ssao.data()[i]), 1.0f);
                    break;
                case 7:
                    value = vec4(vec3(g->translucence.data()[i]), 1.0f);
                    break;
                case 8:
                    value = vec4(plane - g->depth.data()[i], 0.0f, 0.0f, 1.0f);
                    break;
                default:
                    value = vec4(0.0f, 0.0f, 0.0f, 1.0f);
                    break;
                }
            }
            // Alpha is coverage except for the shading, whose alpha is data
            // (its coverage comes from a grab_mode 0 pass).
            if (mode != 4)
                value.w = covered;
            out0[x] = value;
            store(out1, x, value);
        }
    };
}

RowFunction grabLighting(const Context &c)
{
    return [c](int y, vec4 *out0, vec4 *out1) {
        const Renderer::GBuffer *g = c.gbuffer;
        for (int x = 0; x < c.width; ++x) {
            const int i = c.gbufferIndex(x, y);
            vec4 value;
            if (i >= 0 && g->coverage.data()[i] > 0.0f)
                value = vec4(g->irradiance.data()[i], 1.0f);
            out0[x] = value;
            store(out1, x, value);
        }
    };
}

// Lit from +X, -X, +Y, -Y (camera axes) by a Lambert light: the differences
// of the luminances are the normal's x and y.
RowFunction composeVegetationNormal(const Context &c)
{
    return [c](int y, vec4 *out0, vec4 *out1) {
        for (int x = 0; x < c.width; ++x) {
            const vec4 px = c.input(0, x, y);
            const vec4 nx = c.input(1, x, y);
            const vec4 py = c.input(2, x, y);
            const vec4 ny = c.input(3, x, y);
            const float alpha = std::max(std::max(px.w, nx.w), std::max(py.w, ny.w));
            const float a = luminance(px) - luminance(nx);
            const float b = luminance(py) - luminance(ny);
            const vec3 n = Math::normalize(vec3(a, b, std::sqrt(std::max(0.0f, 1.0f - a * a - b * b))));
            out0[x] = vec4(toColor(n), alpha);
            store(out1, x, out0[x]);
        }
    };
}

// Coverage-weighted box blur of the luminance, radius 2 % of the width.
RowFunction softenTranslucence(const Context &c)
{
    const int radius = std::max(1, int(std::lround(0.02f * float(c.width))));
    // Horizontal sums first (luminance x coverage, coverage), then the rows
    // add them up vertically.
    auto sums = std::make_shared<Vector<vec2>>(c.width * c.height);
    vec2 *horizontal = sums->data();
    const Context context = c;
    forBands(c.height, 8, [&context, horizontal, radius](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < context.width; ++x) {
                vec2 sum;
                for (int k = std::max(0, x - radius); k <= std::min(context.width - 1, x + radius); ++k) {
                    const vec4 v = context.input(0, k, y);
                    const float covered = v.w > 0.0f ? 1.0f : 0.0f;
                    sum += vec2(luminance(v) * covered, covered);
                }
                horizontal[y * context.width + x] = sum;
            }
        }
    });
    return [c, radius, sums](int y, vec4 *out0, vec4 *out1) {
        const vec2 *h = sums->data();
        for (int x = 0; x < c.width; ++x) {
            vec2 sum;
            for (int k = std::max(0, y - radius); k <= std::min(c.height - 1, y + radius); ++k)
                sum += h[k * c.width + x];
            const float value = sum.y > 0.0f ? sum.x / sum.y : 0.0f;
            out0[x] = vec4(value, value, value, c.input(0, x, y).w);
            store(out1, x, out0[x]);
        }
    };
}

// Passes that read the G-buffer need a view render in progress.
RenderRitual::PassFactory needsView(const char *name, RowFunction (*make)(const Context &))
{
    return [name, make](const Context &c) -> RowFunction {
        if (!c.gbuffer) {
            Log::error("RenderRitual: \"%s\" runs only inside a view callback\n", name);
            return RowFunction();
        }
        return make(c);
    };
}

} // namespace

void registerImpostorPasses()
{
    RenderRitual::registerPass("impostor_grab_silhouette", needsView("impostor_grab_silhouette", silhouette));
    RenderRitual::registerPass("impostor_blend_silhouettes", blendSilhouettes);
    RenderRitual::registerPass("extrude_post", extrude);
    RenderRitual::registerPass("read_channel_post", readChannel);
    RenderRitual::registerPass("write_channel_post", writeChannel);
    RenderRitual::registerPass("impostor_grab_gbuffer_post", needsView("impostor_grab_gbuffer_post", grabGBuffer));
    RenderRitual::registerPass("impostor_grab_lighting_post", needsView("impostor_grab_lighting_post", grabLighting));
    RenderRitual::registerPass("impostor_compose_veg_normal_post", composeVegetationNormal);
    RenderRitual::registerPass("impostor_soften_translucence_post", softenTranslucence);
}

} // namespace render_internal
} // namespace Velmora
