#include "velmora/Renderer.h"

#include "velmora/Bounds.h"
#include "velmora/Camera.h"
#include "velmora/Image.h"
#include "velmora/Texture.h"
#include "velmora/Viewport.h"

#include "render_internal.h"
#include "render_raster.h"
#include "render_reuse.h"
#include "render_scene.h"
#include "texture_streaming.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

namespace Velmora {

namespace {

thread_local Renderer *g_active = nullptr;

const vec3 SKY_COLOR(0.6f, 0.7f, 0.8f);
const vec3 GROUND_COLOR(0.3f, 0.25f, 0.2f);
constexpr float GAMMA = 2.2f;
// Share of the sky and ground colours that lights a surface as ambient.
constexpr float HEMISPHERE_AMBIENT = 0.5f;
constexpr int SHADOW_MAP_SIZE = 1024;
constexpr int SSAO_DIRECTIONS = 16;
// Largest screen distance, in pixels, the horizon search walks.
constexpr float SSAO_MAX_PIXELS = 48.0f;
constexpr int ROWS_PER_BAND = 16;

float encode(float linear)
{
    return std::pow(std::max(0.0f, linear), 1.0f / GAMMA);
}

vec3 decode(const vec3 &encoded)
{
    return vec3(std::pow(std::max(0.0f, encoded.x), GAMMA), std::pow(std::max(0.0f, encoded.y), GAMMA),
                std::pow(std::max(0.0f, encoded.z), GAMMA));
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
    Vector<int> source;
    Vector<vec3> bary;
    Vector<vec3> view_position;
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

// Depth from a directional light over the part of the scene that can shade
// what the camera sees.
struct ShadowMap
{
    mat4 view; // world to light view (looking along the light)
    mat4 view_projection; // world to light clip space
    float texel = 0.0f; // world size of one texel
    Vector<float> depth;
    Vector<int> source;
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
        std::unique_ptr<Scratch> scratch = takeScratch(request_.width * request_.height);
        scratch_ = scratch.get();
        std::swap(renderer_.gbuffer_, scratch_->gbuffer);
        fitBuffers();
        rasteriseView();
        resolveGBuffer();
        runStage(Renderer::STAGE_GBUFFER);
        if (request_.full) {
            ambientOcclusion();
            runStage(Renderer::STAGE_AMBIENT_OCCLUSION);
            buildShadowMaps();
            lighting();
            runStage(Renderer::STAGE_LIGHTING);
            if (color)
                output(*color);
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
        fit(g.coverage, size);
        fit(g.depth, size);
        fit(g.normal, size);
        fit(g.albedo, size);
        fit(g.shading, size);
        fit(g.baked_ao, size);
        fit(g.translucence, size);
        fit(g.position, size);
        fit(g.ssao, size);
        fit(g.bent_normal, size);
        fit(g.irradiance, size);
        fit(g.color, size);
        fit(scratch_->depth, size);
        fit(scratch_->source, size);
        fit(scratch_->bary, size);
        fit(scratch_->view_position, size);
    }

    void rasteriseView()
    {
        const int count = scene_.triangles.size();
        view_triangles_ = Vector<ViewTriangle>(count);
        Vector<RasterTriangle> raster;
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
        target.source = scratch_->source.data();
        target.bary = scratch_->bary.data();
        rasterise(raster, &cutout_, target);
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

    void resolveGBuffer()
    {
        Renderer::GBuffer &g = renderer_.gbuffer_;
        const int width = request_.width;
        forBands(request_.height, ROWS_PER_BAND, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const vec3 ray = rayDirection(0.0f, float(y));
                const vec3 ray_step = rayDirection(1.0f, float(y)) - ray;
                for (int x = 0; x < width; ++x) {
                    const int i = y * width + x;
                    const int source = scratch_->source.data()[i];
                    if (source < 0) {
                        clearPixel(i, background(ray + ray_step * float(x)));
                        continue;
                    }
                    const SceneTriangle &t = scene_.triangles.data()[source];
                    const ViewTriangle &v = view_triangles_.data()[source];
                    const SurfaceShading &s = scene_.shadings.data()[t.shading];
                    const vec3 b = scratch_->bary.data()[i];
                    const vec3 position = v.position[0] * b.x + v.position[1] * b.y + v.position[2] * b.z;
                    const vec2 uv = t.uv[0] * b.x + t.uv[1] * b.y + t.uv[2] * b.z;
                    vec4 albedo = s.albedo_color;
                    if (s.albedo) {
                        const vec4 texel = s.albedo->sample(uv.x, uv.y);
                        albedo = vec4(albedo.xyz() * decode(texel.xyz()), albedo.w * texel.w);
                    }
                    g.coverage.data()[i] = 1.0f;
                    g.depth.data()[i] = scratch_->depth.data()[i];
                    g.normal.data()[i] = Math::normalize(v.normal[0] * b.x + v.normal[1] * b.y + v.normal[2] * b.z);
                    g.albedo.data()[i] = albedo;
                    g.shading.data()[i] = vec4(s.metalness, s.roughness, s.specular, s.microfiber);
                    g.baked_ao.data()[i] = s.ambient_occlusion ? s.ambient_occlusion->sample(uv.x, uv.y).x : 1.0f;
                    g.translucence.data()[i] = s.translucence;
                    g.position.data()[i] = imodelview_ * position;
                    g.ssao.data()[i] = 1.0f;
                    g.bent_normal.data()[i] = g.normal.data()[i];
                    g.irradiance.data()[i] = vec3();
                    g.color.data()[i] = vec4();
                    scratch_->view_position.data()[i] = position;
                }
            }
        });
    }

    void clearPixel(int i, const vec3 &background)
    {
        Renderer::GBuffer &g = renderer_.gbuffer_;
        g.coverage.data()[i] = 0.0f;
        g.depth.data()[i] = 0.0f;
        g.normal.data()[i] = vec3();
        g.albedo.data()[i] = vec4();
        g.shading.data()[i] = vec4();
        g.baked_ao.data()[i] = 0.0f;
        g.translucence.data()[i] = 0.0f;
        g.position.data()[i] = vec3();
        g.ssao.data()[i] = 1.0f;
        g.bent_normal.data()[i] = vec3();
        g.irradiance.data()[i] = vec3();
        g.color.data()[i] = vec4(background, 0.0f);
        scratch_->view_position.data()[i] = vec3();
    }

    // Horizon search in 16 fixed screen directions: the highest occluder
    // elevation in each direction gives the occlusion, and the middle of the
    // open arc above it the bent normal.
    void ambientOcclusion()
    {
        if (!settings_.ssao || settings_.ssao_radius <= 0.0f)
            return;
        Renderer::GBuffer &g = renderer_.gbuffer_;
        const int width = request_.width;
        const int height = request_.height;
        const int steps = settings_.ssao_quality <= 0 ? 2
                : settings_.ssao_quality == 1         ? 3
                : settings_.ssao_quality == 2         ? 4
                                                      : 6;
        const float radius = settings_.ssao_radius;
        const float threshold = Math::clamp(settings_.ssao_threshold, 0.0f, 0.99f);
        vec2 directions[SSAO_DIRECTIONS];
        for (int k = 0; k < SSAO_DIRECTIONS; ++k) {
            const float angle = (float(k) + 0.5f) * 2.0f * Math::PI / float(SSAO_DIRECTIONS);
            directions[k] = vec2(std::cos(angle), std::sin(angle));
        }
        const float *coverage = g.coverage.data();
        const vec3 *positions = scratch_->view_position.data();
        forBands(height, ROWS_PER_BAND, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                for (int x = 0; x < width; ++x) {
                    const int i = y * width + x;
                    if (coverage[i] == 0.0f)
                        continue;
                    const vec3 p = positions[i];
                    const vec3 n = g.normal.data()[i];
                    const float reach = std::min(SSAO_MAX_PIXELS,
                                                 radius * pixel_scale_ / (perspective_ ? std::max(-p.z, 1e-4f) : 1.0f));
                    if (reach < 1.0f)
                        continue;
                    // Plain float arithmetic: this loop runs for every sample.
                    const float inv_radius2 = 1.0f / (radius * radius);
                    float occlusion = 0.0f;
                    vec3 bent;
                    for (const vec2 &d : directions) {
                        float horizon = 0.0f; // sine of the highest elevation
                        const float step_x = d.x * reach / float(steps);
                        const float step_y = d.y * reach / float(steps);
                        for (int s = 1; s <= steps; ++s) {
                            // Rounded to the nearest pixel; inside the view the
                            // coordinates are positive, so truncation rounds down.
                            const float fx = float(x) + step_x * float(s) + 0.5f;
                            const float fy = float(y) + step_y * float(s) + 0.5f;
                            if (fx < 0.0f || fy < 0.0f || fx >= float(width) || fy >= float(height))
                                break;
                            const int j = int(fy) * width + int(fx);
                            if (coverage[j] == 0.0f)
                                continue;
                            const float vx = positions[j].x - p.x;
                            const float vy = positions[j].y - p.y;
                            const float vz = positions[j].z - p.z;
                            const float distance2 = vx * vx + vy * vy + vz * vz;
                            if (distance2 < 1e-12f || distance2 * inv_radius2 > 1.0f)
                                continue;
                            const float elevation = (vx * n.x + vy * n.y + vz * n.z) / std::sqrt(distance2);
                            const float weighted = elevation * (1.0f - distance2 * inv_radius2);
                            if (weighted > horizon)
                                horizon = weighted;
                        }
                        occlusion += std::max(0.0f, (horizon - threshold) / (1.0f - threshold));
                        // The open arc runs from the horizon (elevation asin h) to the
                        // normal; its middle has cosine sqrt((1 - h) / 2) and sine
                        // sqrt((1 + h) / 2) by the half-angle formulas.
                        const float h = Math::clamp(horizon, 0.0f, 1.0f);
                        const vec3 tangent = Math::normalize(vec3(d.x, d.y, 0.0f) - n * (d.x * n.x + d.y * n.y));
                        bent += tangent * std::sqrt((1.0f - h) * 0.5f) + n * std::sqrt((1.0f + h) * 0.5f);
                    }
                    occlusion /= float(SSAO_DIRECTIONS);
                    g.ssao.data()[i] = Math::clamp(1.0f - settings_.ssao_intensity * occlusion, 0.0f, 1.0f);
                    const vec3 bent_normal = Math::normalize(bent);
                    g.bent_normal.data()[i] = bent_normal.length2() > 0.0f ? bent_normal : n;
                }
            }
        });
    }

    void buildShadowMaps()
    {
        shadow_maps_ = Vector<std::shared_ptr<ShadowMap>>(scene_.lights.size());
        if (!settings_.shadows)
            return;
        for (int l = 0; l < scene_.lights.size(); ++l) {
            if (scene_.lights[l].shadow)
                shadow_maps_[l] = buildShadowMap(scene_.lights[l]);
        }
    }

    std::shared_ptr<ShadowMap> buildShadowMap(const SceneLight &light)
    {
        const vec3 along = -light.to_light;
        const vec3 up = std::fabs(along.z) < 0.9f ? vec3(0.0f, 0.0f, 1.0f) : vec3(0.0f, 1.0f, 0.0f);
        const mat4 view = Math::lookAt(vec3(0.0f), along, up);
        // Light-space extent: casters in depth; across, only where casters
        // and visible receivers overlap, within the shadow distance of the eye.
        BoundBox casters;
        BoundBox receivers;
        for (const SceneTriangle &t : scene_.triangles) {
            for (const vec3 &corner : t.position) {
                const vec3 p = view * corner;
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
        if (settings_.shadow_distance > 0.0f) {
            const vec3 eye = view * imodelview_.getTranslate();
            low = Math::max(low, eye - vec3(settings_.shadow_distance));
            high = Math::min(high, eye + vec3(settings_.shadow_distance));
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
        map->depth = Vector<float>(SHADOW_MAP_SIZE * SHADOW_MAP_SIZE);
        map->source = Vector<int>(SHADOW_MAP_SIZE * SHADOW_MAP_SIZE);

        Vector<RasterTriangle> raster;
        for (int i = 0; i < scene_.triangles.size(); ++i) {
            const SceneTriangle &t = scene_.triangles[i];
            if (!t.casts_shadow)
                continue;
            vec4 clip[3];
            float depth[3];
            for (int c = 0; c < 3; ++c) {
                clip[c] = map->view_projection * vec4(t.position[c], 1.0f);
                depth[c] = -(view * t.position[c]).z;
            }
            setupTriangle(clip, depth, i, scene_.shadings[t.shading].cutout, SHADOW_MAP_SIZE, SHADOW_MAP_SIZE, raster);
        }
        RasterTarget target;
        target.width = SHADOW_MAP_SIZE;
        target.height = SHADOW_MAP_SIZE;
        target.depth = map->depth.data();
        target.source = map->source.data();
        rasterise(raster, &cutout_, target);
        return map;
    }

    // 1 where the light reaches the point, 0 in shadow; bilinear between the
    // four nearest texels' tests.
    static float shadowFactor(const ShadowMap &map, const vec3 &position, const vec3 &normal)
    {
        const vec3 p = position + normal * (map.texel * 1.5f);
        const vec4 clip = map.view_projection * vec4(p, 1.0f);
        const float depth = -(map.view * p).z;
        const float fx = (clip.x * 0.5f + 0.5f) * float(SHADOW_MAP_SIZE) - 0.5f;
        const float fy = (clip.y * 0.5f + 0.5f) * float(SHADOW_MAP_SIZE) - 0.5f;
        const float bx = std::floor(fx);
        const float by = std::floor(fy);
        const float bias = map.texel;
        float lit[4];
        for (int k = 0; k < 4; ++k) {
            const int x = int(bx) + (k & 1);
            const int y = int(by) + (k >> 1);
            if (x < 0 || y < 0 || x >= SHADOW_MAP_SIZE || y >= SHADOW_MAP_SIZE) {
                lit[k] = 1.0f;
                continue;
            }
            lit[k] = depth <= map.depth.data()[y * SHADOW_MAP_SIZE + x] + bias ? 1.0f : 0.0f;
        }
        const float tx = fx - bx;
        const float ty = fy - by;
        return Math::lerp(Math::lerp(lit[0], lit[1], tx), Math::lerp(lit[2], lit[3], tx), ty);
    }

    void lighting()
    {
        Renderer::GBuffer &g = renderer_.gbuffer_;
        const int width = request_.width;
        const vec3 eye = imodelview_.getTranslate();
        const vec3 forward = Math::normalize(rotate(imodelview_, vec3(0.0f, 0.0f, -1.0f)));
        forBands(request_.height, ROWS_PER_BAND, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                for (int x = 0; x < width; ++x) {
                    const int i = y * width + x;
                    if (g.coverage.data()[i] == 0.0f)
                        continue;
                    const vec3 position = g.position.data()[i];
                    const vec3 normal = Math::normalize(rotate(imodelview_, g.normal.data()[i]));
                    const vec3 bent = Math::normalize(rotate(imodelview_, g.bent_normal.data()[i]));
                    const vec3 to_eye = perspective_ ? Math::normalize(eye - position) : -forward;
                    const vec4 shading = g.shading.data()[i];
                    const vec3 albedo = g.albedo.data()[i].xyz();

                    vec3 irradiance;
                    if (!settings_.debug_lights) {
                        const vec3 ambient = hemisphere_
                                ? Math::lerp(GROUND_COLOR, SKY_COLOR, Math::clamp(bent.z * 0.5f + 0.5f, 0.0f, 1.0f))
                                        * HEMISPHERE_AMBIENT
                                : settings_.ambient;
                        irradiance = ambient * (g.ssao.data()[i] * g.baked_ao.data()[i]);
                    }
                    vec3 specular;
                    vec3 behind;
                    const float exponent = 2.0f + 254.0f * std::pow(1.0f - Math::clamp(shading.y, 0.0f, 1.0f), 4.0f);
                    const float strength = 0.08f * Math::clamp(shading.z, 0.0f, 1.0f);
                    const vec3 tint = Math::lerp(vec3(1.0f), albedo, Math::clamp(shading.x, 0.0f, 1.0f));
                    for (int l = 0; l < scene_.lights.size(); ++l) {
                        const SceneLight &light = scene_.lights.data()[l];
                        const float n_dot_l = Math::dot(normal, light.to_light);
                        const ShadowMap *map = shadow_maps_.data()[l].get();
                        const float shadow = map && n_dot_l != 0.0f
                                ? shadowFactor(*map, position, n_dot_l > 0.0f ? normal : -normal)
                                : 1.0f;
                        if (n_dot_l > 0.0f) {
                            irradiance += light.color * (n_dot_l * shadow);
                            const vec3 half = Math::normalize(light.to_light + to_eye);
                            specular += light.color
                                    * (strength * shadow * std::pow(std::max(0.0f, Math::dot(normal, half)), exponent));
                        } else {
                            behind += light.color * (-n_dot_l * shadow);
                        }
                    }
                    g.irradiance.data()[i] = irradiance;
                    const vec3 lit = settings_.debug_lights
                            ? irradiance
                            : albedo * irradiance + albedo * behind * g.translucence.data()[i] + specular * tint;
                    g.color.data()[i] = vec4(lit, 1.0f);
                }
            }
        });
    }

    void output(Vector<vec4> &color) const
    {
        const Renderer::GBuffer &g = renderer_.gbuffer_;
        color = Vector<vec4>(g.width * g.height);
        for (int i = 0; i < color.size(); ++i) {
            const vec4 &c = g.color.data()[i];
            color.data()[i] = vec4(encode(c.x), encode(c.y), encode(c.z), c.w);
        }
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
    Vector<std::shared_ptr<ShadowMap>> shadow_maps_;
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
    std::lock_guard<std::mutex> lock(g_spare_mutex);
    g_spares.clear();
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
    for (int y = 0; y < height; ++y) {
        // Image rows run top-down, the colour buffer's bottom-up.
        const vec4 *row = color.data() + size_t(height - 1 - y) * size_t(width);
        if (hdr) {
            uint16_t *out = reinterpret_cast<uint16_t *>(image.getPixels()) + size_t(y) * size_t(width) * 4;
            for (int x = 0; x < width * 4; ++x)
                out[x] = Image::floatToHalf(row[x / 4][x % 4]);
        } else {
            unsigned char *out = image.getPixels() + size_t(y) * size_t(width) * 4;
            for (int x = 0; x < width * 4; ++x)
                out[x] = static_cast<unsigned char>(std::lround(Math::clamp(row[x / 4][x % 4], 0.0f, 1.0f) * 255.0f));
        }
    }
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
