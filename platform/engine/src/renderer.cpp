#include "velmora/Renderer.h"

#include "velmora/Camera.h"
#include "velmora/Image.h"
#include "velmora/Log.h"
#include "velmora/Texture.h"
#include "velmora/Viewport.h"

#include "render_ao.h"
#include "render_color.h"
#include "render_internal.h"
#include "render_math.h"
#include "render_raster.h"
#include "render_reuse.h"
#include "render_scene.h"
#include "render_shadow.h"
#include "texture_streaming.h"
#include "thread_kit.h"

#include <QImage>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace Velmora {

namespace {

thread_local Renderer *g_active = nullptr;

const vec3 SKY_COLOR(0.6f, 0.7f, 0.8f);
const vec3 GROUND_COLOR(0.3f, 0.25f, 0.2f);
// Share of the sky and ground colours that lights a surface as ambient.
constexpr float HEMISPHERE_AMBIENT = 0.5f;
constexpr int ROWS_PER_BAND = 16;
// Bands of the pass that searches the occlusion grid and lights the rows:
// grid rows per search task, pixel rows per lit task.
constexpr int GRID_BAND = 4;
constexpr int LIT_BAND = 8;

vec3 decode(const vec3 &encoded)
{
    return vec3(render_internal::decodeGamma(encoded.x), render_internal::decodeGamma(encoded.y),
                render_internal::decodeGamma(encoded.z));
}

vec3 rotate(const mat4 &m, const vec3 &v)
{
    return (m * vec4(v, 0.0f)).xyz();
}

// Per-pixel scratch memory of one view, kept between renders so that the
// editor's frames do not allocate it again every time.
struct Scratch
{
    Renderer::GBuffer gbuffer;
    Vector<float> depth;
    Vector<int> triangle; // the rasterised triangle covering the pixel (-1: none)
    Vector<vec3> weights; // and the fragment's weights in it
    Vector<vec4> view_position; // w: coverage
    Vector<vec4> points_coarse; // the horizon search on every second pixel and row
    Vector<float> ao_coarse;
    Vector<vec3> bent_coarse;
};

// A few spares, so that views of different sizes (the editor's engine view
// and its scene viewports) each find memory of their own size.
constexpr size_t MAX_SPARES = 4;
std::mutex g_spare_mutex;
std::vector<std::unique_ptr<Scratch>> g_spares;

// A spare for size pixels: one of that size if there is one.
std::unique_ptr<Scratch> takeScratch(int size)
{
    std::lock_guard<std::mutex> lock(g_spare_mutex);
    if (g_spares.empty())
        return std::unique_ptr<Scratch>(new Scratch);
    auto it = std::find_if(g_spares.begin(), g_spares.end(),
                           [size](const std::unique_ptr<Scratch> &s) { return s->depth.size() == size; });
    if (it == g_spares.end())
        it = g_spares.begin();
    std::unique_ptr<Scratch> scratch = std::move(*it);
    g_spares.erase(it);
    return scratch;
}

void giveScratch(std::unique_ptr<Scratch> scratch)
{
    std::lock_guard<std::mutex> lock(g_spare_mutex);
    g_spares.push_back(std::move(scratch));
    if (g_spares.size() > MAX_SPARES)
        g_spares.erase(g_spares.begin());
}

template<typename T>
void fit(Vector<T> &buffer, int size)
{
    if (buffer.size() != size)
        buffer.resize(size);
}

// A view-space copy of a scene triangle: corners and normals turned to the
// camera.
struct ViewTriangle
{
    vec3 position[3];
    vec3 normal[3];
};

class Cutout : public render_internal::CutoutTest
{
public:
    explicit Cutout(const render_internal::Scene &scene)
        : scene_(scene)
    {}
    bool keep(int source, const vec3 &bary) const override
    {
        const render_internal::SceneTriangle &t = scene_.triangles.data()[source];
        const render_internal::SurfaceShading &shading = scene_.shadings.data()[t.shading];
        const vec2 uv = t.uv[0] * bary.x + t.uv[1] * bary.y + t.uv[2] * bary.z;
        return shading.albedo->sample(uv.x, uv.y).w >= 0.5f;
    }

private:
    const render_internal::Scene &scene_;
};

} // namespace

Renderer *Renderer::getActive()
{
    return g_active;
}

namespace render_internal {

// The steps of one view: collect the scene, rasterise the G-buffer, then
// (for full renders) ambient occlusion, shadow maps, lighting and output,
// running the viewport's callbacks after each stage. Every per-pixel step
// runs in row bands on the renderer's pool.
class Pipeline
{
public:
    explicit Pipeline(const ViewRequest &request)
        : request_(request)
        , settings_(settings())
        , cutout_(scene_)
    {}

    void run(Vector<vec4> *color)
    {
        setupCamera();
        collectScene(request_.nodes, request_.light_usage, projection_ * renderer_.modelview_, settings_.shadows,
                     scene_);
        if (keepsLastPicture()) {
            TextureStreaming::collect();
            return;
        }
        makeTriangles(scene_);
        std::unique_ptr<Scratch> scratch = takeScratch(request_.width * request_.height);
        scratch_ = scratch.get();
        std::swap(renderer_.gbuffer_, scratch_->gbuffer);
        fitBuffers();
        // Without callbacks, occlusion takes its grid points from each band
        // as soon as the band is resolved.
        if (request_.full && !request_.viewport)
            occlusion_ = newOcclusion();
        rasteriseView();
        runStage(Renderer::STAGE_GBUFFER);
        if (request_.full && !request_.viewport) {
            lightWithoutCallbacks(color);
        } else if (request_.full) {
            std::unique_ptr<AmbientOcclusion> occlusion = ambientOcclusion();
            if (occlusion)
                forBands(request_.height, ROWS_PER_BAND, [&](int begin, int end) { occlusion->fill(begin, end); });
            runStage(Renderer::STAGE_AMBIENT_OCCLUSION);
            buildShadowMaps();
            forBands(request_.height, ROWS_PER_BAND, [&](int begin, int end) { lightRows(begin, end, nullptr, 0); });
            runStage(Renderer::STAGE_LIGHTING);
            if (color || request_.frame)
                output(color);
        }
        std::swap(renderer_.gbuffer_, scratch_->gbuffer);
        giveScratch(std::move(scratch));
        TextureStreaming::collect();
    }

private:
    // Whether the view's kept picture shows this very scene (on-screen
    // views only: renders into images and textures always draw).
    bool keepsLastPicture()
    {
        FrameReuse *reuse = request_.reuse;
        if (!reuse)
            return false;
        const uint64_t key = viewFingerprint(settings_, request_.environment, renderer_.modelview_, projection_,
                                             request_.width, request_.height, scene_);
        reuse->hit = reuse->valid && reuse->key == key;
        reuse->key = key;
        reuse->valid = true;
        return reuse->hit;
    }

    void setupCamera()
    {
        const int width = request_.width;
        const int height = request_.height;
        renderer_.camera_ = request_.camera;
        renderer_.modelview_ = request_.camera->getModelview();
        projection_ = request_.camera->getProjection(float(width) / float(height));
        renderer_.projection_ = projection_;
        imodelview_ = Math::inverse(renderer_.modelview_);
        iprojection_ = Math::inverse(projection_);
        perspective_ = projection_.m[11] != 0.0f;
        normal_view_ = Math::transpose(imodelview_);
        pixel_scale_ = projection_.m[5] * float(height) * 0.5f;
        hemisphere_ = !request_.environment.empty() || !settings_.has_ambient || !settings_.environment.empty();
    }

    void fitBuffers()
    {
        const int width = request_.width;
        const int height = request_.height;
        const int size = width * height;
        Renderer::GBuffer &g = renderer_.gbuffer_;
        g.width = width;
        g.height = height;
        const int coarse = ambientOcclusionCoarseSize(width, height);
        // A new size zeroes tens of megabytes: each buffer on a thread of
        // its own, the largest first.
        const std::function<void()> fits[] = {
                [&] { fit(g.albedo, size); },
                [&] { fit(g.shading, size); },
                [&] { fit(g.color, size); },
                [&] { fit(scratch_->view_position, size); },
                [&] { fit(g.normal, size); },
                [&] { fit(g.position, size); },
                [&] { fit(g.bent_normal, size); },
                [&] { fit(g.irradiance, size); },
                [&] { fit(scratch_->weights, size); },
                [&] { fit(g.coverage, size); },
                [&] { fit(g.depth, size); },
                [&] { fit(g.baked_ao, size); },
                [&] { fit(g.translucence, size); },
                [&] { fit(g.ssao, size); },
                [&] { fit(scratch_->depth, size); },
                [&] { fit(scratch_->triangle, size); },
                [&] {
                    fit(scratch_->points_coarse, coarse);
                    fit(scratch_->ao_coarse, coarse);
                    fit(scratch_->bent_coarse, coarse);
                },
        };
        if (g.coverage.size() == size && scratch_->points_coarse.size() == coarse) {
            // Buffers kept from a render of this size: only the size checks.
            for (const std::function<void()> &f : fits)
                f();
            return;
        }
        forBands(int(sizeof(fits) / sizeof(fits[0])), 1, [&fits](int begin, int) { fits[begin](); });
    }

    void rasteriseView()
    {
        const int count = scene_.triangles.size();
        view_triangles_ = Vector<ViewTriangle>(count);
        Vector<RasterTriangle> &raster = raster_;
        raster.clear();
        for (int i = 0; i < count; ++i) {
            const SceneTriangle &t = scene_.triangles[i];
            if (!t.visible)
                continue;
            ViewTriangle &v = view_triangles_[i];
            vec4 clip[3];
            float depth[3];
            for (int c = 0; c < 3; ++c) {
                v.position[c] = renderer_.modelview_ * t.position[c];
                v.normal[c] = Math::normalize(rotate(normal_view_, t.normal[c]));
                clip[c] = projection_ * vec4(v.position[c], 1.0f);
                depth[c] = -v.position[c].z;
            }
            // Two-sided: normals turn to the camera.
            const vec3 face = Math::cross(v.position[1] - v.position[0], v.position[2] - v.position[0]);
            const vec3 to_eye = perspective_ ? -v.position[0] : vec3(0.0f, 0.0f, 1.0f);
            if (Math::dot(face, to_eye) < 0.0f) {
                for (vec3 &normal : v.normal)
                    normal = -normal;
            }
            setupTriangle(clip, depth, i, scene_.shadings[t.shading].cutout, request_.width, request_.height, raster);
        }
        RasterTarget target;
        target.width = request_.width;
        target.height = request_.height;
        target.depth = scratch_->depth.data();
        target.triangle = scratch_->triangle.data();
        target.weights = scratch_->weights.data();
        // Each band of rows is resolved as soon as it is drawn, while its
        // depth and triangle buffers are still in the cache.
        rasterise(raster, &cutout_, target, [this](int begin, int end) {
            resolveRows(begin, end);
            if (occlusion_)
                occlusion_->gather(begin, end);
        });
    }

    // World direction (not normalised) of the view ray through a pixel
    // centre; it is affine in the pixel coordinates.
    vec3 rayDirection(float x, float y) const
    {
        const float ndc_x = (x + 0.5f) / float(request_.width) * 2.0f - 1.0f;
        const float ndc_y = (y + 0.5f) / float(request_.height) * 2.0f - 1.0f;
        const vec4 near_point = iprojection_ * vec4(ndc_x, ndc_y, -1.0f, 1.0f);
        const vec4 far_point = iprojection_ * vec4(ndc_x, ndc_y, 1.0f, 1.0f);
        return rotate(imodelview_, far_point.xyz() / far_point.w - near_point.xyz() / near_point.w);
    }

    static vec3 background(const vec3 &direction)
    {
        const float length = direction.length();
        const float z = length > 0.0f ? direction.z / length : 0.0f;
        return Math::lerp(GROUND_COLOR, SKY_COLOR, Math::clamp(z * 0.5f + 0.5f, 0.0f, 1.0f));
    }

    // Whether the occlusion stage runs and writes every covered pixel.
    bool occlusionRuns() const { return request_.full && settings_.ssao && settings_.ssao_radius > 0.0f; }

    // The G-buffer of rows begin .. end - 1 from the rasterised triangles.
    void resolveRows(int begin, int end)
    {
        Renderer::GBuffer &g = renderer_.gbuffer_;
        const int width = request_.width;
        // A covered pixel's occlusion, irradiance and colour start at their
        // neutral values, unless the stages that compute them follow with
        // no callback that could look in between.
        const bool seen = !request_.full || request_.viewport;
        const bool neutral_occlusion = seen || !occlusionRuns();
        // Locals, so that the stores below do not make the compiler read
        // the view and the buffers' addresses again for every pixel.
        const mat4 imodelview = imodelview_;
        const int *covering = scratch_->triangle.data();
        const vec3 *weights = scratch_->weights.data();
        const RasterTriangle *raster = raster_.data();
        const float *depths = scratch_->depth.data();
        vec4 *view_positions = scratch_->view_position.data();
        const SceneTriangle *triangles = scene_.triangles.data();
        const ViewTriangle *view_triangles = view_triangles_.data();
        const SurfaceShading *shadings = scene_.shadings.data();
        float *coverage = g.coverage.data();
        float *depth = g.depth.data();
        vec3 *normal = g.normal.data();
        vec4 *albedo_out = g.albedo.data();
        vec4 *shading = g.shading.data();
        float *baked_ao = g.baked_ao.data();
        float *translucence = g.translucence.data();
        vec3 *position_out = g.position.data();
        float *ssao = g.ssao.data();
        vec3 *bent_normal = g.bent_normal.data();
        vec3 *irradiance = g.irradiance.data();
        vec4 *color = g.color.data();
        for (int y = begin; y < end; ++y) {
            const vec3 ray = rayDirection(0.0f, float(y));
            const vec3 ray_step = rayDirection(1.0f, float(y)) - ray;
            for (int x = 0; x < width; ++x) {
                const int i = y * width + x;
                const int covered_by = covering[i];
                if (covered_by < 0) {
                    coverage[i] = 0.0f;
                    depth[i] = 0.0f;
                    normal[i] = vec3();
                    albedo_out[i] = vec4();
                    shading[i] = vec4();
                    baked_ao[i] = 0.0f;
                    translucence[i] = 0.0f;
                    position_out[i] = vec3();
                    ssao[i] = 1.0f;
                    bent_normal[i] = vec3();
                    irradiance[i] = vec3();
                    color[i] = vec4(background(ray + ray_step * float(x)), 0.0f);
                    view_positions[i] = vec4();
                    continue;
                }
                const RasterTriangle &r = raster[covered_by];
                const SceneTriangle &t = triangles[r.source];
                const ViewTriangle &v = view_triangles[r.source];
                const SurfaceShading &s = shadings[t.shading];
                const vec3 b = r.bary(weights[i]);
                const vec3 position = v.position[0] * b.x + v.position[1] * b.y + v.position[2] * b.z;
                const vec2 uv = t.uv[0] * b.x + t.uv[1] * b.y + t.uv[2] * b.z;
                vec4 albedo = s.albedo_color;
                if (s.uniform_albedo && std::fabs(uv.x) < 1e6f && std::fabs(uv.y) < 1e6f) {
                    albedo = s.uniform_albedo_color;
                } else if (s.albedo) {
                    const vec4 texel = s.albedo->sample(uv.x, uv.y);
                    albedo = vec4(albedo.xyz() * decode(texel.xyz()), albedo.w * texel.w);
                }
                const vec3 n = unit(v.normal[0] * b.x + v.normal[1] * b.y + v.normal[2] * b.z);
                coverage[i] = 1.0f;
                depth[i] = depths[i];
                normal[i] = n;
                albedo_out[i] = albedo;
                shading[i] = vec4(s.metalness, s.roughness, s.specular, s.microfiber);
                baked_ao[i] = s.ambient_occlusion ? s.ambient_occlusion->sample(uv.x, uv.y).x : 1.0f;
                translucence[i] = s.translucence;
                position_out[i] = transformPoint(imodelview, position);
                if (neutral_occlusion) {
                    ssao[i] = 1.0f;
                    bent_normal[i] = n;
                }
                if (seen) {
                    irradiance[i] = vec3();
                    color[i] = vec4();
                }
                view_positions[i] = vec4(position, 1.0f);
            }
        }
    }

    // With no callback to look between the stages, each band of rows is
    // filled with its occlusion and lit in one go, and a picture that only
    // goes to the screen is quantised row by row as it is lit.
    void lightWithoutCallbacks(Vector<vec4> *color)
    {
        buildShadowMaps();
        AmbientOcclusion *occlusion = occlusion_.get();
        if (occlusion)
            occlusion->prepare();
        const bool at_once = request_.frame && !color;
        unsigned char *bytes = nullptr;
        size_t stride = 0;
        if (at_once) {
            createFrame();
            bytes = request_.frame->bits();
            stride = size_t(request_.frame->bytesPerLine());
        }
        if (!occlusion) {
            forBands(request_.height, ROWS_PER_BAND, [&](int begin, int end) { lightRows(begin, end, bytes, stride); });
        } else {
            // The grid search and the lit bands share one pass: a band of
            // rows is queued a few grid bands after the last grid row it
            // reads, so its wait for that band is rare and short, and no
            // thread idles between the two steps.
            const int height = request_.height;
            const int grid_rows = (height + 1) / 2;
            const int grid_bands = (grid_rows + GRID_BAND - 1) / GRID_BAND;
            const int lit_bands = (height + LIT_BAND - 1) / LIT_BAND;
            std::unique_ptr<std::atomic<bool>[]> searched(new std::atomic<bool>[size_t(grid_bands)]);
            for (int b = 0; b < grid_bands; ++b)
                searched[size_t(b)].store(false, std::memory_order_relaxed);
            // Task t: a grid band (value >= 0) or a lit band (-1 - band).
            std::vector<int> order;
            order.reserve(size_t(grid_bands + lit_bands));
            // As many as the pool runs at once.
            const int lag = int(engine_internal::workerCount());
            int next_lit = 0;
            auto lastGridBand = [&](int band) {
                const int last_row = std::min(height, (band + 1) * LIT_BAND) - 1;
                return std::min(grid_rows - 1, last_row / 2 + 1) / GRID_BAND;
            };
            for (int b = 0; b < grid_bands; ++b) {
                order.push_back(b);
                while (next_lit < lit_bands && lastGridBand(next_lit) + lag <= b)
                    order.push_back(-1 - next_lit++);
            }
            while (next_lit < lit_bands)
                order.push_back(-1 - next_lit++);
            forBands(int(order.size()), 1, [&](int task, int) {
                const int item = order[size_t(task)];
                if (item >= 0) {
                    occlusion->searchGrid(item * GRID_BAND, std::min(grid_rows, (item + 1) * GRID_BAND));
                    searched[size_t(item)].store(true, std::memory_order_release);
                    return;
                }
                const int band = -1 - item;
                // Grid bands are taken in order before this task, each by a
                // thread that is working on it, so the wait always ends.
                const int last = lastGridBand(band);
                for (int b = 0; b <= last; ++b) {
                    while (!searched[size_t(b)].load(std::memory_order_acquire))
                        std::this_thread::yield();
                }
                const int begin = band * LIT_BAND;
                const int end = std::min(height, begin + LIT_BAND);
                occlusion->fill(begin, end);
                lightRows(begin, end, bytes, stride);
            });
        }
        if ((color || request_.frame) && !at_once)
            output(color);
    }

    // The occlusion stage with its grid searched, ready to fill rows; null
    // when it does not run.
    std::unique_ptr<AmbientOcclusion> ambientOcclusion()
    {
        std::unique_ptr<AmbientOcclusion> occlusion = newOcclusion();
        if (occlusion)
            occlusion->search();
        return occlusion;
    }

    // The occlusion stage before its grid is gathered; null when it does
    // not run.
    std::unique_ptr<AmbientOcclusion> newOcclusion()
    {
        if (!occlusionRuns())
            return nullptr;
        Renderer::GBuffer &g = renderer_.gbuffer_;
        AmbientOcclusionInput input;
        input.width = request_.width;
        input.height = request_.height;
        input.points = scratch_->view_position.data();
        input.normals = g.normal.data();
        input.pixel_scale = pixel_scale_;
        input.perspective = perspective_;
        input.quality = settings_.ssao_quality;
        input.radius = settings_.ssao_radius;
        input.threshold = settings_.ssao_threshold;
        input.intensity = settings_.ssao_intensity;
        std::unique_ptr<AmbientOcclusion> occlusion(
                new AmbientOcclusion(input, scratch_->points_coarse.data(), scratch_->ao_coarse.data(),
                                     scratch_->bent_coarse.data(), g.ssao.data(), g.bent_normal.data()));
        return occlusion;
    }

    void buildShadowMaps()
    {
        shadow_maps_ = Vector<std::shared_ptr<const ShadowMap>>(scene_.lights.size());
        if (!settings_.shadows)
            return;
        for (int l = 0; l < scene_.lights.size(); ++l) {
            if (scene_.lights[l].shadow)
                shadow_maps_[l] = shadowMap(scene_, scene_.lights[l], imodelview_.getTranslate(),
                                            settings_.shadow_distance, cutout_);
        }
    }

    // 1 where the light reaches the point, 0 in shadow; bilinear between the
    // four nearest texels' tests.
    static float shadowFactor(const ShadowMap &map, const vec3 &position, const vec3 &normal)
    {
        const vec3 p = position + normal * (map.texel * 1.5f);
        const vec4 clip = transformPoint4(map.view_projection, p);
        const float depth = -transformPoint(map.view, p).z;
        const float fx = (clip.x * 0.5f + 0.5f) * float(SHADOW_MAP_SIZE) - 0.5f;
        const float fy = (clip.y * 0.5f + 0.5f) * float(SHADOW_MAP_SIZE) - 0.5f;
        const float bx = std::floor(fx);
        const float by = std::floor(fy);
        const float bias = map.texel;
        float lit[4];
        const int x0 = int(bx);
        const int y0 = int(by);
        if (bx >= 0.0f && by >= 0.0f && x0 < SHADOW_MAP_SIZE - 1 && y0 < SHADOW_MAP_SIZE - 1) {
            for (int k = 0; k < 4; ++k)
                lit[k] = depth <= map.depth(x0 + (k & 1), y0 + (k >> 1)) + bias ? 1.0f : 0.0f;
        } else {
            // Texels off the map do not shade.
            for (int k = 0; k < 4; ++k) {
                const float x = bx + float(k & 1);
                const float y = by + float(k >> 1);
                const bool inside = x >= 0.0f && y >= 0.0f && x < float(SHADOW_MAP_SIZE) && y < float(SHADOW_MAP_SIZE);
                lit[k] = !inside || depth <= map.depth(int(x), int(y)) + bias ? 1.0f : 0.0f;
            }
        }
        const float tx = fx - bx;
        const float ty = fy - by;
        const float bottom = lit[0] + (lit[1] - lit[0]) * tx;
        const float top = lit[2] + (lit[3] - lit[2]) * tx;
        return bottom + (top - bottom) * ty;
    }

    // Lights rows begin .. end - 1; with bytes, also quantises them into the
    // top-down frame rows there.
    void lightRows(int begin, int end, unsigned char *bytes, size_t stride)
    {
        Renderer::GBuffer &g = renderer_.gbuffer_;
        const int width = request_.width;
        const int height = request_.height;
        const vec3 eye = imodelview_.getTranslate();
        const vec3 forward = unit(transformVector(imodelview_, vec3(0.0f, 0.0f, -1.0f)));
        const int light_count = scene_.lights.size();
        for (int y = begin; y < end; ++y) {
            for (int x = 0; x < width; ++x) {
                const int i = y * width + x;
                if (g.coverage.data()[i] == 0.0f)
                    continue;
                const vec3 position = g.position.data()[i];
                const vec3 normal = unit(transformVector(imodelview_, g.normal.data()[i]));
                const vec4 shading = g.shading.data()[i];
                const vec3 albedo = g.albedo.data()[i].xyz();

                vec3 irradiance;
                if (!settings_.debug_lights) {
                    vec3 ambient = settings_.ambient;
                    if (hemisphere_) {
                        const vec3 bent = transformVector(imodelview_, g.bent_normal.data()[i]);
                        const float length = std::sqrt(dot3(bent, bent));
                        const float up = length > 0.0f ? bent.z / length : bent.z;
                        ambient = Math::lerp(GROUND_COLOR, SKY_COLOR, Math::clamp(up * 0.5f + 0.5f, 0.0f, 1.0f))
                                * HEMISPHERE_AMBIENT;
                    }
                    irradiance = ambient * (g.ssao.data()[i] * g.baked_ao.data()[i]);
                }
                vec3 specular;
                vec3 behind;
                // Light from behind shows only through translucence.
                const float translucence = g.translucence.data()[i];
                if (light_count > 0) {
                    const float smooth = 1.0f - Math::clamp(shading.y, 0.0f, 1.0f);
                    const float exponent = 2.0f + 254.0f * (smooth * smooth) * (smooth * smooth);
                    const float strength = 0.08f * Math::clamp(shading.z, 0.0f, 1.0f);
                    for (int l = 0; l < light_count; ++l) {
                        const SceneLight &light = scene_.lights.data()[l];
                        const float n_dot_l = dot3(normal, light.to_light);
                        if (!(n_dot_l > 0.0f) && translucence == 0.0f)
                            continue;
                        const ShadowMap *map = shadow_maps_.data()[l].get();
                        const float shadow = map && n_dot_l != 0.0f
                                ? shadowFactor(*map, position, n_dot_l > 0.0f ? normal : -normal)
                                : 1.0f;
                        if (n_dot_l > 0.0f) {
                            irradiance += light.color * (n_dot_l * shadow);
                            const vec3 to_eye = perspective_ ? unit(eye - position) : -forward;
                            const float n_dot_h = dot3(normal, unit(light.to_light + to_eye));
                            if (n_dot_h > 0.0f && strength * shadow > 0.0f)
                                specular += light.color * (strength * shadow * std::pow(n_dot_h, exponent));
                        } else {
                            behind += light.color * (-n_dot_l * shadow);
                        }
                    }
                }
                g.irradiance.data()[i] = irradiance;
                if (settings_.debug_lights) {
                    g.color.data()[i] = vec4(irradiance, 1.0f);
                    continue;
                }
                const vec3 tint = Math::lerp(vec3(1.0f), albedo, Math::clamp(shading.x, 0.0f, 1.0f));
                const vec3 lit = albedo * irradiance + albedo * behind * translucence + specular * tint;
                g.color.data()[i] = vec4(lit, 1.0f);
            }
            if (bytes)
                quantiseRow(g.color.data() + size_t(y) * size_t(width), width, bytes + size_t(height - 1 - y) * stride);
        }
    }

    void createFrame() const { *request_.frame = QImage(request_.width, request_.height, QImage::Format_RGBA8888); }

    void output(Vector<vec4> *color) const
    {
        const Renderer::GBuffer &g = renderer_.gbuffer_;
        const int width = g.width;
        const int height = g.height;
        if (color)
            *color = Vector<vec4>(width * height);
        vec4 *encoded = color ? color->data() : nullptr;
        unsigned char *bytes = nullptr;
        size_t stride = 0;
        if (request_.frame) {
            createFrame();
            bytes = request_.frame->bits();
            stride = size_t(request_.frame->bytesPerLine());
        }
        forBands(height, ROWS_PER_BAND, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const vec4 *row = g.color.data() + size_t(y) * size_t(width);
                if (encoded) {
                    vec4 *out = encoded + size_t(y) * size_t(width);
                    for (int x = 0; x < width; ++x)
                        out[x] = vec4(encodeGamma(row[x].x), encodeGamma(row[x].y), encodeGamma(row[x].z), row[x].w);
                }
                if (bytes) {
                    // Byte rows run top-down, the colour buffer's bottom-up.
                    quantiseRow(row, width, bytes + size_t(height - 1 - y) * stride);
                }
            }
        });
    }

    void runStage(int stage)
    {
        if (!request_.viewport)
            return;
        Renderer *previous = g_active;
        g_active = &renderer_;
        renderer_.stage_ = stage;
        request_.viewport->runCallbacks(stage, &renderer_);
        renderer_.stage_ = 0;
        g_active = previous;
    }

    const ViewRequest &request_;
    const Settings settings_;
    Renderer renderer_;
    Scratch *scratch_ = nullptr;
    Scene scene_;
    Cutout cutout_;
    Vector<ViewTriangle> view_triangles_;
    Vector<RasterTriangle> raster_; // the view's rasterised triangles
    Vector<std::shared_ptr<const ShadowMap>> shadow_maps_;
    std::unique_ptr<AmbientOcclusion> occlusion_;
    mat4 projection_;
    mat4 imodelview_;
    mat4 iprojection_;
    mat4 normal_view_;
    float pixel_scale_ = 1.0f;
    bool perspective_ = true;
    bool hemisphere_ = true;
};

void releaseScratch()
{
    {
        std::lock_guard<std::mutex> lock(g_spare_mutex);
        g_spares.clear();
    }
    releaseShadowMaps();
}

bool acceptImageSize(const char *what, int width, int height)
{
    if (width <= Viewport::MAX_IMAGE_SIDE && height <= Viewport::MAX_IMAGE_SIDE
        && static_cast<long long>(width) * height <= Viewport::MAX_IMAGE_PIXELS)
        return true;
    Log::error("%s: %d x %d is larger than the renderer can draw (sides up to %d, at most %lld pixels)\n", what, width,
               height, Viewport::MAX_IMAGE_SIDE, Viewport::MAX_IMAGE_PIXELS);
    return false;
}

bool renderView(const ViewRequest &request, Vector<vec4> *color)
{
    if (!request.camera || request.width <= 0 || request.height <= 0)
        return false;
    Pipeline pipeline(request);
    pipeline.run(color);
    return true;
}

bool toImage(const Vector<vec4> &color, int width, int height, bool hdr, Image &image)
{
    if (color.size() != width * height)
        return false;
    if (!image.create2D(width, height, hdr ? Image::FORMAT_RGBA16F : Image::FORMAT_RGBA8))
        return false;
    unsigned char *pixels = image.getPixels();
    forBands(height, ROWS_PER_BAND, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            // Image rows run top-down, the colour buffer's bottom-up.
            const vec4 *row = color.data() + size_t(height - 1 - y) * size_t(width);
            if (hdr) {
                uint16_t *out = reinterpret_cast<uint16_t *>(pixels) + size_t(y) * size_t(width) * 4;
                for (int x = 0; x < width; ++x) {
                    for (int c = 0; c < 4; ++c)
                        out[4 * x + c] = Image::floatToHalf(row[x][c]);
                }
            } else {
                unsigned char *out = pixels + size_t(y) * size_t(width) * 4;
                for (int x = 0; x < width; ++x) {
                    for (int c = 0; c < 4; ++c)
                        out[4 * x + c] = quantise(row[x][c]);
                }
            }
        }
    });
    return true;
}

void toTexture(const Vector<vec4> &color, Texture &texture)
{
    vec4 *pixels = texture.getPixels();
    if (!pixels || color.size() != texture.getWidth() * texture.getHeight())
        return;
    std::copy(color.begin(), color.end(), pixels);
}

} // namespace render_internal

} // namespace Velmora
