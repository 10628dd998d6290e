#include "velmora/Render.h"

#include "velmora/Camera.h"
#include "velmora/Console.h"
#include "velmora/Image.h"
#include "velmora/Log.h"

#include "engine_internal.h"
#include "render_color.h"
#include "render_internal.h"
#include "render_reuse.h"
#include "render_scene.h"
#include "texture_streaming.h"
#include "thread_kit.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

namespace Velmora {

namespace {

struct RenderSettings
{
    std::mutex mutex;
    int api = Render::API_OPENGL;
    Vector<int> supported{0, 2};
    int enabled = 1;
    bool has_ambient = false;
    vec3 ambient = vec3(0.3f, 0.3f, 0.35f);
    String environment;
    Vector<String> setting_names;
    Vector<String> setting_values;
    int exposure_adaptation = 0;
    int panorama = 0;
    int rendered_views = 0;
    float supersampling = 1.0f;
    float distance_scale = 1.0f;
    bool shadows = true;
    float shadow_distance = 0.0f;
    String pre_post_materials;
    // SSAO, in the order the editor saves and restores them.
    bool ssao = true;
    float ssao_intensity = 1.0f;
    float ssao_intensity_lighted_side = 0.5f;
    float ssao_intensity_reflection = 1.0f;
    bool ssao_cavity = false;
    float ssao_cavity_intensity = 1.0f;
    float ssao_cavity_radius = 1.0f;
    bool ssao_ray_tracing = false;
    bool ssao_ray_tracing_denoise = false;
    float ssao_ray_tracing_threshold = 1.0f;
    int ssao_quality = 2;
    int ssao_resolution = 1;
    bool ssao_noise = false;
    float ssao_radius = 1.0f;
    float ssao_threshold = 0.1f;
    // Made by the first Engine::init, ended by its shutdown.
    std::unique_ptr<engine_internal::WorkerPool> pool;
};

RenderSettings &state()
{
    static RenderSettings s;
    return s;
}

// The values a fresh engine starts with (everything but the API, the pool
// and the render settings file's values).
void resetStoredValues(RenderSettings &s)
{
    const RenderSettings defaults;
    s.enabled = defaults.enabled;
    s.exposure_adaptation = defaults.exposure_adaptation;
    s.panorama = defaults.panorama;
    s.rendered_views = defaults.rendered_views;
    s.supersampling = defaults.supersampling;
    s.distance_scale = defaults.distance_scale;
    s.shadows = defaults.shadows;
    s.shadow_distance = defaults.shadow_distance;
    s.pre_post_materials = defaults.pre_post_materials;
    s.ssao = defaults.ssao;
    s.ssao_intensity = defaults.ssao_intensity;
    s.ssao_intensity_lighted_side = defaults.ssao_intensity_lighted_side;
    s.ssao_intensity_reflection = defaults.ssao_intensity_reflection;
    s.ssao_cavity = defaults.ssao_cavity;
    s.ssao_cavity_intensity = defaults.ssao_cavity_intensity;
    s.ssao_cavity_radius = defaults.ssao_cavity_radius;
    s.ssao_ray_tracing = defaults.ssao_ray_tracing;
    s.ssao_ray_tracing_denoise = defaults.ssao_ray_tracing_denoise;
    s.ssao_ray_tracing_threshold = defaults.ssao_ray_tracing_threshold;
    s.ssao_quality = defaults.ssao_quality;
    s.ssao_resolution = defaults.ssao_resolution;
    s.ssao_noise = defaults.ssao_noise;
    s.ssao_radius = defaults.ssao_radius;
    s.ssao_threshold = defaults.ssao_threshold;
}

bool listContains(const String &list, const char *name)
{
    for (const String &item : list.split(",")) {
        if (item.trim() == name)
            return true;
    }
    return false;
}

template<typename T>
T read(T RenderSettings::*member)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().*member;
}

template<typename T>
void write(T RenderSettings::*member, const T &value)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().*member = value;
}

} // namespace

// ---- Render -------------------------------------------------------------------------------

int Render::getAPI()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().api;
}

bool Render::isAPISupported(int api)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().supported.contains(api);
}

void Render::setEnabled(int enabled)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().enabled = enabled;
}

int Render::isEnabled()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().enabled;
}

bool Render::renderImage2D(const Ptr<Camera> &camera, const Ptr<Image> &image, int width, int height, int hdr, int)
{
    if (!engine_internal::checkRunning("Render::renderImage2D"))
        return false;
    if (!camera || !image || width <= 0 || height <= 0) {
        Log::error("Render::renderImage2D: needs a camera, an image and a positive size\n");
        return false;
    }
    if (!render_internal::acceptImageSize("Render::renderImage2D", width, height))
        return false;
    render_internal::ViewRequest request;
    request.camera = camera;
    request.width = width;
    request.height = height;
    Vector<vec4> color;
    return render_internal::renderView(request, &color)
            && render_internal::toImage(color, width, height, hdr != 0, *image);
}

vec3 Render::getAmbientColor()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().ambient;
}

void Render::setAmbientColor(const vec3 &color)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().ambient = color;
    state().has_ambient = true;
}

const char *Render::getEnvironmentTextureName()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().environment.get();
}

void Render::setEnvironmentTextureName(const char *name)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().environment = name;
}

const char *Render::getSetting(const char *name)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    RenderSettings &s = state();
    for (int i = 0; i < s.setting_names.size(); ++i) {
        if (name && s.setting_names[i] == name)
            return s.setting_values[i].get();
    }
    return "";
}

void Render::setSetting(const char *name, const char *value)
{
    if (!name || !*name)
        return;
    std::lock_guard<std::mutex> lock(state().mutex);
    RenderSettings &s = state();
    for (int i = 0; i < s.setting_names.size(); ++i) {
        if (s.setting_names[i] == name) {
            s.setting_values[i] = value;
            return;
        }
    }
    s.setting_names.append(String(name));
    s.setting_values.append(String(value));
}

void Render::resetSettings()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    RenderSettings &s = state();
    s.has_ambient = false;
    s.ambient = vec3(0.3f, 0.3f, 0.35f);
    s.environment.clear();
    s.setting_names.clear();
    s.setting_values.clear();
}

int Render::getExposureAdaptation()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().exposure_adaptation;
}

void Render::setExposureAdaptation(int mode)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().exposure_adaptation = mode;
}

int Render::getPanorama()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().panorama;
}

void Render::setPanorama(int mode)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().panorama = mode;
}

int Render::getStreamingTexturesMemoryLimit()
{
    return Console::getInt("render_streaming_textures_memory_limit");
}

void Render::setStreamingTexturesMemoryLimit(int megabytes)
{
    Console::setInt("render_streaming_textures_memory_limit", megabytes);
}

int Render::getStreamingDestroyDuration()
{
    return Console::getInt("render_streaming_destroy_duration");
}

void Render::setStreamingDestroyDuration(int frames)
{
    Console::setInt("render_streaming_destroy_duration", frames);
}

int Render::getNumRenderedViews()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().rendered_views;
}

void Render::printStreamingTextures()
{
    TextureStreaming::printList();
}

void Render::reloadTexture(const char *name)
{
    TextureStreaming::reload(name);
}

float Render::getSupersampling()
{
    return read(&RenderSettings::supersampling);
}
void Render::setSupersampling(float supersampling)
{
    write(&RenderSettings::supersampling, supersampling);
}
float Render::getDistanceScale()
{
    return read(&RenderSettings::distance_scale);
}
void Render::setDistanceScale(float scale)
{
    write(&RenderSettings::distance_scale, scale);
}

bool Render::isShadows()
{
    return read(&RenderSettings::shadows);
}
void Render::setShadows(bool enabled)
{
    write(&RenderSettings::shadows, enabled);
}
float Render::getShadowDistance()
{
    return read(&RenderSettings::shadow_distance);
}
void Render::setShadowDistance(float distance)
{
    write(&RenderSettings::shadow_distance, distance);
}

const char *Render::getPrePostMaterials()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().pre_post_materials.get();
}

void Render::setPrePostMaterials(const char *materials)
{
    write(&RenderSettings::pre_post_materials, String(materials));
}

bool Render::isSSAO()
{
    return read(&RenderSettings::ssao);
}
void Render::setSSAO(bool enabled)
{
    write(&RenderSettings::ssao, enabled);
}
float Render::getSSAOIntensity()
{
    return read(&RenderSettings::ssao_intensity);
}
void Render::setSSAOIntensity(float intensity)
{
    write(&RenderSettings::ssao_intensity, intensity);
}
float Render::getSSAOIntensityLightedSide()
{
    return read(&RenderSettings::ssao_intensity_lighted_side);
}
void Render::setSSAOIntensityLightedSide(float intensity)
{
    write(&RenderSettings::ssao_intensity_lighted_side, intensity);
}
float Render::getSSAOIntensityReflection()
{
    return read(&RenderSettings::ssao_intensity_reflection);
}
void Render::setSSAOIntensityReflection(float intensity)
{
    write(&RenderSettings::ssao_intensity_reflection, intensity);
}
bool Render::isSSAOCavity()
{
    return read(&RenderSettings::ssao_cavity);
}
void Render::setSSAOCavity(bool enabled)
{
    write(&RenderSettings::ssao_cavity, enabled);
}
float Render::getSSAOCavityIntensity()
{
    return read(&RenderSettings::ssao_cavity_intensity);
}
void Render::setSSAOCavityIntensity(float intensity)
{
    write(&RenderSettings::ssao_cavity_intensity, intensity);
}
float Render::getSSAOCavityRadius()
{
    return read(&RenderSettings::ssao_cavity_radius);
}
void Render::setSSAOCavityRadius(float radius)
{
    write(&RenderSettings::ssao_cavity_radius, radius);
}
bool Render::isSSAORayTracing()
{
    return read(&RenderSettings::ssao_ray_tracing);
}
void Render::setSSAORayTracing(bool enabled)
{
    write(&RenderSettings::ssao_ray_tracing, enabled);
}
bool Render::isSSAORayTracingDenoise()
{
    return read(&RenderSettings::ssao_ray_tracing_denoise);
}
void Render::setSSAORayTracingDenoise(bool enabled)
{
    write(&RenderSettings::ssao_ray_tracing_denoise, enabled);
}
float Render::getSSAORayTracingThreshold()
{
    return read(&RenderSettings::ssao_ray_tracing_threshold);
}
void Render::setSSAORayTracingThreshold(float threshold)
{
    write(&RenderSettings::ssao_ray_tracing_threshold, threshold);
}
int Render::getSSAOQuality()
{
    return read(&RenderSettings::ssao_quality);
}
void Render::setSSAOQuality(int quality)
{
    write(&RenderSettings::ssao_quality, quality);
}
int Render::getSSAOResolution()
{
    return read(&RenderSettings::ssao_resolution);
}
void Render::setSSAOResolution(int resolution)
{
    write(&RenderSettings::ssao_resolution, resolution);
}
bool Render::isSSAONoise()
{
    return read(&RenderSettings::ssao_noise);
}
void Render::setSSAONoise(bool enabled)
{
    write(&RenderSettings::ssao_noise, enabled);
}
float Render::getSSAORadius()
{
    return read(&RenderSettings::ssao_radius);
}
void Render::setSSAORadius(float radius)
{
    write(&RenderSettings::ssao_radius, radius);
}
float Render::getSSAOThreshold()
{
    return read(&RenderSettings::ssao_threshold);
}
void Render::setSSAOThreshold(float threshold)
{
    write(&RenderSettings::ssao_threshold, threshold);
}

namespace render_internal {

Settings settings()
{
    RenderSettings &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    Settings result;
    result.has_ambient = s.has_ambient;
    result.ambient = s.ambient;
    result.environment = s.environment;
    result.shadows = s.shadows;
    result.shadow_distance = s.shadow_distance;
    result.debug_lights = listContains(s.pre_post_materials, "debug_lights");
    result.ssao = s.ssao;
    result.ssao_intensity = s.ssao_intensity;
    result.ssao_radius = s.ssao_radius;
    result.ssao_threshold = s.ssao_threshold;
    result.ssao_quality = s.ssao_quality;
    return result;
}

void forBands(int count, int band, const std::function<void(int, int)> &fn)
{
    if (count <= 0 || band <= 0)
        return;
    const int bands = (count + band - 1) / band;
    engine_internal::WorkerPool *threads = state().pool.get();
    if (!threads || bands == 1) {
        for (int begin = 0; begin < count; begin += band)
            fn(begin, std::min(count, begin + band));
        return;
    }
    // The calling thread and a few of the pool's take bands from one counter
    // until none is left, so a stage wakes each thread once instead of once
    // per band. A helper that starts after the last band was taken finds
    // nothing to do; the state it reads outlives this call for that reason,
    // and it never touches fn then.
    struct Shared
    {
        std::atomic<int> next{0};
        std::mutex mutex;
        std::condition_variable done;
        int finished = 0;
    };
    const auto shared = std::make_shared<Shared>();
    const std::function<void(int, int)> *work = &fn;
    const auto take = [shared, work, count, band, bands]() {
        int finished = 0;
        for (int b = shared->next.fetch_add(1); b < bands; b = shared->next.fetch_add(1)) {
            (*work)(b * band, std::min(count, b * band + band));
            ++finished;
        }
        if (finished == 0)
            return;
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->finished += finished;
        if (shared->finished == bands)
            shared->done.notify_all();
    };
    // Helpers the pool has no thread for are left out: this thread takes
    // their bands.
    const int helpers = std::min(bands - 1, std::max(1, int(threads->most()) - 1));
    threads->run(size_t(helpers), take);
    take();
    // The bands' writes are published to this thread when it sees the count
    // complete under the mutex.
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->done.wait(lock, [&shared, bands] { return shared->finished == bands; });
}

} // namespace render_internal

namespace engine_internal {

void renderInit(int api, const Vector<int> &supported_apis)
{
    RenderSettings &s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.api = api;
        s.supported = supported_apis;
        resetStoredValues(s);
    }
    Render::resetSettings();
    render_internal::resetRenderStates();
    render_internal::releaseSceneCache();
    TextureStreaming::init();
    if (!s.pool)
        s.pool = std::make_unique<engine_internal::WorkerPool>(engine_internal::workerCount());
}

void renderShutdown()
{
    RenderSettings &s = state();
    // Waits for the tasks its threads are running, not for those no thread
    // took (their bands were done by the thread that handed them out).
    s.pool.reset();
    TextureStreaming::shutdown();
    render_internal::resetRenderStates();
    render_internal::releaseScratch();
    render_internal::releaseSceneCache();
    Render::resetSettings();
    std::lock_guard<std::mutex> lock(s.mutex);
    resetStoredValues(s);
}

void renderBeginFrame()
{
    TextureStreaming::beginFrame();
    std::lock_guard<std::mutex> lock(state().mutex);
    state().rendered_views = 0;
}

void renderCountView()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    ++state().rendered_views;
}

QImage renderWorld(const Ptr<Camera> &camera, int width, int height, ViewPicture *kept, bool *reused)
{
    if (reused)
        *reused = false;
    if (width <= 0 || height <= 0)
        return QImage();
    if (camera) {
        render_internal::FrameReuse reuse;
        render_internal::ViewRequest request;
        request.camera = camera;
        request.width = width;
        request.height = height;
        if (kept) {
            reuse.key = kept->key;
            reuse.valid = kept->valid && !kept->image.isNull();
            request.reuse = &reuse;
        }
        // The picture goes straight into the frame's rows.
        QImage frame;
        request.frame = &frame;
        const bool drawn = render_internal::renderView(request, nullptr);
        if (kept && drawn && reuse.hit) {
            if (reused)
                *reused = true;
            return kept->image;
        }
        if (kept)
            kept->valid = false;
        if (!drawn || frame.isNull())
            return QImage();
        if (kept) {
            kept->key = reuse.key;
            kept->image = frame;
            kept->valid = true;
        }
        return frame;
    }
    // Without a camera, the horizon colour of the background.
    const uint64_t key = (uint64_t(uint32_t(width)) << 32) ^ uint64_t(uint32_t(height)) ^ 0x5bd1e995u;
    if (kept && kept->valid && kept->key == key && !kept->image.isNull()) {
        if (reused)
            *reused = true;
        return kept->image;
    }
    const vec3 horizon(0.45f, 0.475f, 0.5f);
    Vector<vec4> color(width * height,
                       vec4(render_internal::encodeGamma(horizon.x), render_internal::encodeGamma(horizon.y),
                            render_internal::encodeGamma(horizon.z), 0.0f));
    Image image;
    render_internal::toImage(color, width, height, false, image);
    QImage frame(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        std::memcpy(frame.scanLine(y), image.getPixels() + size_t(y) * size_t(width) * 4, size_t(width) * 4);
    if (kept) {
        kept->key = key;
        kept->image = frame;
        kept->valid = true;
    }
    return frame;
}

void renderWorldFloat(const Ptr<Camera> &camera, int width, int height, Vector<float> &rgba)
{
    rgba.clear();
    if (!camera || width <= 0 || height <= 0)
        return;
    render_internal::ViewRequest request;
    request.camera = camera;
    request.width = width;
    request.height = height;
    Vector<vec4> color;
    if (!render_internal::renderView(request, &color))
        return;
    rgba.resize(width * height * 4);
    for (int y = 0; y < height; ++y) {
        const vec4 *row = color.data() + size_t(height - 1 - y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 4; ++c)
                rgba.data()[(y * width + x) * 4 + c] = row[x][c];
        }
    }
}

} // namespace engine_internal

} // namespace Velmora
