#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/Vector.h"

namespace Velmora {

class Camera;
class RenderTarget;

namespace render_internal {
class Pipeline;
}

// One view render of the CPU renderer, handed to viewport callbacks. It
// holds the view (camera, size, matrices) and the G-buffer that the stages
// fill; callbacks read it on the thread that renders (the main thread).
//
// Stages, in order: 2 after the G-buffer, 10 after ambient occlusion and
// bent normals, 29 after lighting.
class Renderer
{
public:
    enum {
        STAGE_GBUFFER = 2,
        STAGE_AMBIENT_OCCLUSION = 10,
        STAGE_LIGHTING = 29,
    };

    // Per-pixel buffers, width * height each, rows bottom to top (texture
    // order): the pixel (x, y) is at y * width + x. Uncovered pixels hold
    // zeros, except ssao (1) and color (the background, alpha 0).
    struct GBuffer
    {
        int width = 0;
        int height = 0;
        Vector<float> coverage; // 1 on geometry, 0 elsewhere
        Vector<float> depth; // linear view depth
        Vector<vec3> normal; // view space, turned to the camera
        Vector<vec4> albedo; // linear albedo_color x texture albedo
        Vector<vec4> shading; // metalness, roughness, specular, microfiber
        Vector<float> baked_ao; // texture ambient_occlusion (1 without one)
        Vector<float> translucence; // parameter translucent
        Vector<vec3> position; // world space
        Vector<float> ssao; // screen-space ambient occlusion, 1 = open
        Vector<vec3> bent_normal; // view space, the mean unoccluded direction
        Vector<vec3> irradiance; // light reaching the surface (linear)
        Vector<vec4> color; // lit colour (linear), alpha = coverage

        int index(int x, int y) const { return y * width + x; }
    };

    // The renderer whose viewport callback runs on this thread; null
    // outside callbacks.
    static Renderer *getActive();

    int getWidth() const { return gbuffer_.width; }
    int getHeight() const { return gbuffer_.height; }
    const Ptr<Camera> &getCamera() const { return camera_; }
    const mat4 &getModelview() const { return modelview_; }
    const mat4 &getProjection() const { return projection_; }
    // The stage whose callbacks run (0 outside callbacks).
    int getStage() const { return stage_; }

    const GBuffer &getGBuffer() const { return gbuffer_; }
    // The target that post passes run through inside a callback (one
    // shared target: the CPU renderer binds nothing on it).
    Ptr<RenderTarget> getPostRenderTarget() const;

    Renderer(const Renderer &) = delete;
    Renderer &operator=(const Renderer &) = delete;

private:
    friend class render_internal::Pipeline;
    Renderer() = default;
    ~Renderer() = default;

    Ptr<Camera> camera_;
    mat4 modelview_;
    mat4 projection_;
    int stage_ = 0;
    GBuffer gbuffer_;
};

} // namespace Velmora
