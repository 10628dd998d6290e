#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

#include <functional>

class QImage;

namespace Velmora {

class Camera;
class Image;
class Node;
class Texture;
class Viewport;

// Glue between the CPU renderer's parts: the Render settings, the view
// pipeline (Renderer), viewports and texture streaming.
namespace render_internal {

struct FrameReuse;

// The settings one view render reads, taken once at its start.
struct Settings
{
    bool has_ambient = false;
    vec3 ambient;
    String environment;
    bool shadows = true;
    float shadow_distance = 0.0f;
    bool debug_lights = false;
    bool ssao = true;
    float ssao_intensity = 1.0f;
    float ssao_radius = 1.0f;
    float ssao_threshold = 0.0f;
    int ssao_quality = 2;
};
Settings settings();

// Runs fn(begin, end) over [0, count) in bands of at most band items on the
// renderer's own pool (this thread alone before Engine::init and after
// shutdown) and returns once every band is done. Each band owns its
// items, so results do not depend on the number of threads.
void forBands(int count, int band, const std::function<void(int, int)> &fn);

// One view render. The colour comes back in texture row order (row 0 at the
// bottom), gamma-encoded, alpha = coverage; empty when nothing was output.
struct ViewRequest
{
    Ptr<Camera> camera;
    int width = 0;
    int height = 0;
    const Vector<Ptr<Node>> *nodes = nullptr; // null: the world
    bool full = true; // false: stop after the G-buffer stage
    int light_usage = 0; // 2: lights of the node list only
    String environment; // per-view environment ("" = the world's)
    const Viewport *viewport = nullptr; // callbacks
    FrameReuse *reuse = nullptr; // an on-screen view's picture kept from its last frame
    // When set and the view is drawn, the picture also goes here as a new
    // RGBA8888 image of the view's size, top row first (the bytes toImage
    // would give).
    QImage *frame = nullptr;
};
bool renderView(const ViewRequest &request, Vector<vec4> *color);

// Whether an image render of this size can be drawn: sides up to
// Viewport::MAX_IMAGE_SIDE and at most Viewport::MAX_IMAGE_PIXELS pixels (the
// renderer keeps several full-size buffers per view). Logs an error naming
// `what` when not.
bool acceptImageSize(const char *what, int width, int height);

// Converters of a renderView colour buffer.
bool toImage(const Vector<vec4> &color, int width, int height, bool hdr, Image &image);
void toTexture(const Vector<vec4> &color, Texture &texture);

// The passes of the impostor base materials (RenderRitual's built-ins).
void registerImpostorPasses();

// Engine start and stop: RenderState back to its defaults, and the memory
// kept between view renders released.
void resetRenderStates();
void releaseScratch();

} // namespace render_internal
} // namespace Velmora
