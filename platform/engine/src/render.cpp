#include "velmora/Render.h"

#include "velmora/Camera.h"
#include "velmora/Console.h"
#include "velmora/Image.h"
#include "velmora/Light.h"
#include "velmora/Log.h"
#include "velmora/Material.h"
#include "velmora/Materials.h"
#include "velmora/Mesh.h"
#include "velmora/Object.h"
#include "velmora/Player.h"

#include "engine_internal.h"
#include "node_tree.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace Velmora {

namespace {

const vec3 SKY_COLOR(0.6f, 0.7f, 0.8f);
const vec3 GROUND_COLOR(0.3f, 0.25f, 0.2f);
const vec4 DEFAULT_ALBEDO(0.8f, 0.8f, 0.8f, 1.0f);
constexpr float GAMMA = 2.2f;
// Share of the sky and ground colours that lights a surface as ambient.
constexpr float HEMISPHERE_AMBIENT = 0.5f;

struct RenderState
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
    QThreadPool *pool = nullptr;
};

RenderState &state()
{
    static RenderState s;
    return s;
}

// ---- scene collection ------------------------------------------------------------------

struct LightInfo
{
    vec3 direction; // towards the light
    vec3 color;
};

// A triangle ready for rasterisation: view-space corners and a flat,
// linear-light colour.
struct Triangle
{
    vec3 view[3];
    vec3 color;
};

struct Scene
{
    Vector<Triangle> triangles;
    Vector<LightInfo> lights;
    bool hemisphere = true;
    vec3 ambient;
};

vec3 irradiance(const Scene &scene, const vec3 &normal)
{
    vec3 result;
    if (scene.hemisphere) {
        const float t = Math::clamp(normal.z * 0.5f + 0.5f, 0.0f, 1.0f);
        result = Math::lerp(GROUND_COLOR, SKY_COLOR, t) * HEMISPHERE_AMBIENT;
    } else {
        result = scene.ambient;
    }
    for (const LightInfo &light : scene.lights)
        result += light.color * std::max(0.0f, Math::dot(normal, light.direction));
    return result;
}

vec4 albedoOf(const Object *object, int surface)
{
    const Ptr<Material> material = object->getMaterial(surface);
    if (!material)
        return DEFAULT_ALBEDO;
    const int index = material->findParameter("albedo_color");
    return index >= 0 ? material->getParameterFloat4(index) : DEFAULT_ALBEDO;
}

void collectLights(Node *node, Scene &scene)
{
    if (!node->isEnabled())
        return;
    if (node->getType() == Node::LIGHT_WORLD) {
        const LightWorld *light = static_cast<const LightWorld *>(node);
        scene.lights.append(LightInfo{-light->getDirection(), light->getColor().xyz()});
    }
    if (node->getType() == Node::NODE_REFERENCE) {
        if (const Ptr<Node> content = static_cast<NodeReference *>(node)->getReference())
            collectLights(content.get(), scene);
    }
    for (Node *child : NodeTree::childrenOf(node))
        collectLights(child, scene);
}

void collectObject(const Object *object, const mat4 &world, const mat4 &modelview, const vec3 &eye, Scene &scene)
{
    const Ptr<Mesh> mesh = object->getMesh();
    if (!mesh)
        return;
    for (int s = 0; s < object->getNumSurfaces(); ++s) {
        if (!object->isEnabled(s) || object->getViewportMask(s) == 0)
            continue;
        const int index = mesh->findSurface(object->getSurfaceName(s));
        if (index < 0)
            continue;
        const vec3 albedo = albedoOf(object, s).xyz();
        const Vector<Mesh::Vertex> &vertices = mesh->getSurface(index).vertices;
        for (int v = 0; v + 2 < vertices.size(); v += 3) {
            const vec3 p0 = world * vertices[v].position;
            const vec3 p1 = world * vertices[v + 1].position;
            const vec3 p2 = world * vertices[v + 2].position;
            vec3 normal = Math::normalize(Math::cross(p1 - p0, p2 - p0));
            if (Math::length(normal) == 0.0f)
                continue;
            const vec3 centre = (p0 + p1 + p2) * (1.0f / 3.0f);
            const vec3 to_eye = Math::normalize(eye - centre);
            // Two-sided: the normal is turned to the camera.
            if (Math::dot(normal, to_eye) < 0.0f)
                normal = -normal;
            vec3 color = albedo * irradiance(scene, normal);
            for (const LightInfo &light : scene.lights) {
                const vec3 half = Math::normalize(light.direction + to_eye);
                const float n_dot_l = Math::dot(normal, light.direction);
                if (n_dot_l > 0.0f)
                    color += light.color * (0.04f * std::pow(std::max(0.0f, Math::dot(normal, half)), 32.0f));
            }
            Triangle triangle;
            triangle.view[0] = modelview * p0;
            triangle.view[1] = modelview * p1;
            triangle.view[2] = modelview * p2;
            triangle.color = color;
            scene.triangles.append(triangle);
        }
    }
}

void collectDrawables(Node *node, const mat4 &world, const mat4 &modelview, const vec3 &eye, Scene &scene)
{
    if (!node->isEnabled())
        return;
    if (node->getType() == Node::OBJECT_MESH_STATIC)
        collectObject(static_cast<const Object *>(node), world, modelview, eye, scene);
    if (node->getType() == Node::NODE_REFERENCE) {
        if (const Ptr<Node> content = static_cast<NodeReference *>(node)->getReference())
            collectDrawables(content.get(), world * content->getTransform(), modelview, eye, scene);
    }
    for (Node *child : NodeTree::childrenOf(node))
        collectDrawables(child, world * child->getTransform(), modelview, eye, scene);
}

// ---- rasterisation ----------------------------------------------------------------------

struct ScreenTriangle
{
    float x[3], y[3];
    float inv_depth[3]; // 1 / linear view depth
    float area;
    bool top_left[3];
    int min_x, max_x, min_y, max_y;
    int color; // index into the scene's triangles
};

float edge(float ax, float ay, float bx, float by, float px, float py)
{
    return (px - ax) * (by - ay) - (py - ay) * (bx - ax);
}

// Clips a view-space triangle against the near plane z = -znear; gives 0, 3
// or 4 corners.
int clipNear(const vec3 in[3], float znear, vec3 out[4])
{
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        const vec3 &a = in[i];
        const vec3 &b = in[(i + 1) % 3];
        const bool a_in = a.z <= -znear;
        const bool b_in = b.z <= -znear;
        if (a_in)
            out[count++] = a;
        if (a_in != b_in) {
            const float t = (-znear - a.z) / (b.z - a.z);
            out[count++] = a + (b - a) * t;
        }
    }
    return count;
}

struct Frame
{
    int width = 0;
    int height = 0;
    Vector<float> depth;  // 1 / linear depth, 0 = nothing
    Vector<int> triangle; // covering triangle, -1 = background
};

void setupTriangles(const Scene &scene, const mat4 &projection, const Camera &camera, int width, int height,
                    Vector<ScreenTriangle> &out)
{
    const float znear = camera.getZNear() > 0.0f ? camera.getZNear() : 1e-4f;
    for (int t = 0; t < scene.triangles.size(); ++t) {
        vec3 poly[4];
        const int count = clipNear(scene.triangles[t].view, znear, poly);
        for (int f = 1; f + 1 < count; ++f) {
            const vec3 corners[3] = {poly[0], poly[f], poly[f + 1]};
            ScreenTriangle st;
            st.color = t;
            for (int i = 0; i < 3; ++i) {
                const vec4 clip = projection * vec4(corners[i], 1.0f);
                const float w = clip.w;
                st.x[i] = (clip.x / w * 0.5f + 0.5f) * float(width);
                st.y[i] = (0.5f - clip.y / w * 0.5f) * float(height);
                st.inv_depth[i] = 1.0f / -corners[i].z;
            }
            st.area = edge(st.x[0], st.y[0], st.x[1], st.y[1], st.x[2], st.y[2]);
            if (st.area == 0.0f || !std::isfinite(st.area))
                continue;
            if (st.area < 0.0f) {
                std::swap(st.x[1], st.x[2]);
                std::swap(st.y[1], st.y[2]);
                std::swap(st.inv_depth[1], st.inv_depth[2]);
                st.area = -st.area;
            }
            // Edge i runs from corner i+1 to corner i+2 (opposite corner i).
            for (int i = 0; i < 3; ++i) {
                const int a = (i + 1) % 3;
                const int b = (i + 2) % 3;
                const float ex = st.x[b] - st.x[a];
                const float ey = st.y[b] - st.y[a];
                st.top_left[i] = (ey == 0.0f && ex < 0.0f) || ey > 0.0f;
            }
            const float min_x = std::min({st.x[0], st.x[1], st.x[2]});
            const float max_x = std::max({st.x[0], st.x[1], st.x[2]});
            const float min_y = std::min({st.y[0], st.y[1], st.y[2]});
            const float max_y = std::max({st.y[0], st.y[1], st.y[2]});
            if (max_x < 0.0f || max_y < 0.0f || min_x > float(width) || min_y > float(height))
                continue;
            st.min_x = std::max(0, int(std::floor(min_x)));
            st.max_x = std::min(width - 1, int(std::ceil(max_x)));
            st.min_y = std::max(0, int(std::floor(min_y)));
            st.max_y = std::min(height - 1, int(std::ceil(max_y)));
            out.append(st);
        }
    }
}

void rasteriseRows(const Vector<ScreenTriangle> &triangles, float inv_zfar, int row_begin, int row_end, Frame &frame)
{
    for (const ScreenTriangle &st : triangles) {
        const int y0 = std::max(st.min_y, row_begin);
        const int y1 = std::min(st.max_y, row_end - 1);
        for (int y = y0; y <= y1; ++y) {
            const float py = float(y) + 0.5f;
            for (int x = st.min_x; x <= st.max_x; ++x) {
                const float px = float(x) + 0.5f;
                float w[3];
                bool inside = true;
                for (int i = 0; i < 3 && inside; ++i) {
                    const int a = (i + 1) % 3;
                    const int b = (i + 2) % 3;
                    w[i] = edge(st.x[a], st.y[a], st.x[b], st.y[b], px, py);
                    inside = w[i] > 0.0f || (w[i] == 0.0f && st.top_left[i]);
                }
                if (!inside)
                    continue;
                const float inv_depth =
                    (w[0] * st.inv_depth[0] + w[1] * st.inv_depth[1] + w[2] * st.inv_depth[2]) / st.area;
                if (inv_depth < inv_zfar)
                    continue;
                const int index = y * frame.width + x;
                if (inv_depth > frame.depth[index]) {
                    frame.depth[index] = inv_depth;
                    frame.triangle[index] = st.color;
                }
            }
        }
    }
}

// Renders the linear colours (rgb) and coverage (a) of one view.
void renderLinear(const Ptr<Camera> &camera, int width, int height, Vector<vec4> &pixels)
{
    pixels = Vector<vec4>(width * height, vec4(0.0f));
    if (!camera) {
        const vec3 horizon = Math::lerp(GROUND_COLOR, SKY_COLOR, 0.5f);
        for (vec4 &pixel : pixels)
            pixel = vec4(horizon, 0.0f);
        return;
    }
    const float aspect = float(width) / float(height);
    const mat4 modelview = camera->getModelview();
    const mat4 imodelview = camera->getIModelview();
    const mat4 projection = camera->getProjection(aspect);
    const vec3 eye = imodelview.getTranslate();

    Scene scene;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        scene.hemisphere = !state().has_ambient || !state().environment.empty();
        scene.ambient = state().ambient;
    }
    for (Node *root : NodeTree::roots())
        collectLights(root, scene);
    for (Node *root : NodeTree::roots())
        collectDrawables(root, root->getTransform(), modelview, eye, scene);

    Vector<ScreenTriangle> screen;
    setupTriangles(scene, projection, *camera, width, height, screen);

    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.depth = Vector<float>(width * height, 0.0f);
    frame.triangle = Vector<int>(width * height, -1);
    const float inv_zfar = camera->getZFar() > 0.0f ? 1.0f / camera->getZFar() : 0.0f;
    const float tan_half = std::tan(Math::toRadians(camera->getFov() * 0.5f));

    // Rows in bands on the renderer's own pool; each band owns its rows, so
    // the result does not depend on the number of threads.
    auto band = [&](int begin, int end) {
        rasteriseRows(screen, inv_zfar, begin, end, frame);
        for (int y = begin; y < end; ++y) {
            const float ndc_y = 1.0f - (float(y) + 0.5f) / float(height) * 2.0f;
            for (int x = 0; x < width; ++x) {
                const int index = y * width + x;
                if (frame.triangle[index] >= 0) {
                    pixels[index] = vec4(scene.triangles[frame.triangle[index]].color, 1.0f);
                    continue;
                }
                const float ndc_x = (float(x) + 0.5f) / float(width) * 2.0f - 1.0f;
                const vec4 view_dir(ndc_x * tan_half * aspect, ndc_y * tan_half, -1.0f, 0.0f);
                const vec3 dir = Math::normalize((imodelview * view_dir).xyz());
                const float t = Math::clamp(dir.z * 0.5f + 0.5f, 0.0f, 1.0f);
                pixels[index] = vec4(Math::lerp(GROUND_COLOR, SKY_COLOR, t), 0.0f);
            }
        }
    };
    QThreadPool *pool = state().pool;
    const int rows_per_band = 16;
    if (!pool || height <= rows_per_band) {
        band(0, height);
        return;
    }
    // A latch on std primitives: the bands' writes are published to this
    // thread when it sees the count reach zero.
    std::mutex latch_mutex;
    std::condition_variable latch_done;
    int pending = 0;
    {
        std::lock_guard<std::mutex> lock(latch_mutex);
        pending = (height + rows_per_band - 1) / rows_per_band;
    }
    for (int begin = 0; begin < height; begin += rows_per_band) {
        const int end = std::min(height, begin + rows_per_band);
        pool->start([&, begin, end]() {
            {
                // Pairs with the set-up above, so the band sees the scene.
                std::lock_guard<std::mutex> lock(latch_mutex);
            }
            band(begin, end);
            std::lock_guard<std::mutex> lock(latch_mutex);
            if (--pending == 0)
                latch_done.notify_all();
        });
    }
    std::unique_lock<std::mutex> lock(latch_mutex);
    latch_done.wait(lock, [&pending] { return pending == 0; });
}

float encode(float linear) { return std::pow(std::max(0.0f, linear), 1.0f / GAMMA); }

int quantise(float encoded) { return int(std::lround(Math::clamp(encoded, 0.0f, 1.0f) * 255.0f)); }

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
    if (hdr) {
        Vector<float> rgba;
        engine_internal::renderWorldFloat(camera, width, height, rgba);
        if (!image->create2D(width, height, Image::FORMAT_RGBA16F))
            return false;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const float *p = rgba.data() + (y * width + x) * 4;
                image->set2D(x, y, Image::Pixel::fromFloat(p[0], p[1], p[2], p[3]));
            }
        }
        return true;
    }
    const QImage frame = engine_internal::renderWorld(camera, width, height);
    if (!image->create2D(width, height, Image::FORMAT_RGBA8))
        return false;
    for (int y = 0; y < height; ++y)
        std::memcpy(image->getPixels() + size_t(y) * size_t(width) * 4, frame.constScanLine(y), size_t(width) * 4);
    return true;
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
    RenderState &s = state();
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
    RenderState &s = state();
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
    RenderState &s = state();
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

int Render::getStreamingTexturesMemoryLimit() { return Console::getInt("render_streaming_textures_memory_limit"); }

void Render::setStreamingTexturesMemoryLimit(int megabytes)
{
    Console::setInt("render_streaming_textures_memory_limit", megabytes);
}

int Render::getStreamingDestroyDuration() { return Console::getInt("render_streaming_destroy_duration"); }

void Render::setStreamingDestroyDuration(int frames) { Console::setInt("render_streaming_destroy_duration", frames); }

int Render::getNumRenderedViews()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().rendered_views;
}

namespace engine_internal {

void renderInit(int api, const Vector<int> &supported_apis)
{
    RenderState &s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.api = api;
        s.supported = supported_apis;
        s.enabled = 1;
        s.exposure_adaptation = 0;
        s.panorama = 0;
        s.rendered_views = 0;
    }
    Render::resetSettings();
    if (!s.pool) {
        s.pool = new QThreadPool;
        s.pool->setMaxThreadCount(std::max(1, std::min(8, QThread::idealThreadCount())));
    }
}

void renderShutdown()
{
    RenderState &s = state();
    if (s.pool) {
        s.pool->waitForDone();
        delete s.pool;
        s.pool = nullptr;
    }
    Render::resetSettings();
}

void renderBeginFrame()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().rendered_views = 0;
}

void renderCountView()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    ++state().rendered_views;
}

QImage renderWorld(const Ptr<Camera> &camera, int width, int height)
{
    if (width <= 0 || height <= 0)
        return QImage();
    Vector<vec4> pixels;
    renderLinear(camera, width, height, pixels);
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const vec4 &p = pixels[y * width + x];
            line[x * 4 + 0] = uchar(quantise(encode(p.x)));
            line[x * 4 + 1] = uchar(quantise(encode(p.y)));
            line[x * 4 + 2] = uchar(quantise(encode(p.z)));
            line[x * 4 + 3] = uchar(quantise(p.w));
        }
    }
    return image;
}

void renderWorldFloat(const Ptr<Camera> &camera, int width, int height, Vector<float> &rgba)
{
    rgba.clear();
    if (width <= 0 || height <= 0)
        return;
    Vector<vec4> pixels;
    renderLinear(camera, width, height, pixels);
    rgba.resize(width * height * 4);
    for (int i = 0; i < pixels.size(); ++i) {
        rgba[i * 4 + 0] = encode(pixels[i].x);
        rgba[i * 4 + 1] = encode(pixels[i].y);
        rgba[i * 4 + 2] = encode(pixels[i].z);
        rgba[i * 4 + 3] = pixels[i].w;
    }
}

} // namespace engine_internal

} // namespace Velmora
