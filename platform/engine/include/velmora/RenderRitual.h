#pragma once

#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/Renderer.h"
#include "velmora/Vector.h"

#include <functional>

namespace Velmora {

class Material;
class RenderTarget;
class Texture;

// Full-screen passes of the CPU renderer. A ritual binds up to two output
// textures of one size for its lifetime; every pass writes all of them.
//
// render(material[, inputs]) runs the C++ pass registered for the
// material's base material (the material itself or its nearest ancestor
// with a pass) over every output pixel, row-parallel on the renderer's
// pool. Inputs are read at the output pixel's normalised position: the
// texel itself when the sizes match, a bilinear sample with edge clamping
// otherwise. Inside a viewport callback the pass also sees that view's
// G-buffer (Renderer::getActive()). Outputs are written once the whole pass
// is done, so an input may be an output of the same pass.
//
// A null material renders nothing (false, no log line); a material without
// a pass logs one error and renders nothing.
//
// Conventions of the renderer that impostor atlases depend on:
// - Texture row 0 is the bottom row, Image row 0 the top row;
//   Render::isFlipped() is false, so whoever reads a texture into an image
//   flips it to get it upright.
// - World Z is up; a camera looks down its -Z with +Y up; a directional
//   light shines along its -Z. vec3 * quat turns a vector by the inverse of
//   the rotation (world to local), quat * vec3 by the rotation.
// - Normals are view space (x right, y up, z toward the camera, turned to
//   the camera on back faces), stored as n * 0.5 + 0.5.
// - Depth (grab_mode 8) is impostor_plane_distance - linear view depth:
//   positive toward the camera from the plane through the pivot, 0 on the
//   background.
// - Coverage is alpha > 0. Passes that make colour write alpha = coverage,
//   except grab_mode 4, whose alpha is data (microfiber); there, and with
//   is_separate_alpha_texture 1, "extrude_post" takes the coverage from
//   its second input and marks the pixels it fills in its second output.
// - Colours (albedo, final image) are gamma 2.2 encoded; lighting values
//   (irradiance) are linear.
class RenderRitual
{
public:
    RenderRitual(const Ptr<RenderTarget> &target, const Vector<Ptr<Texture>> &outputs);
    ~RenderRitual();

    RenderRitual(const RenderRitual &) = delete;
    RenderRitual &operator=(const RenderRitual &) = delete;

    bool render(const Ptr<Material> &material);
    bool render(const Ptr<Material> &material, const Vector<Ptr<Texture>> &inputs);
    // Resamples source into output 0: a 2 x 2 box for an exact halving of
    // both sides, a plain copy at equal size, bilinear (edge clamped)
    // otherwise. false for an empty source or output.
    bool copyTexture2D(const Ptr<Texture> &source);
    // Fills level 0 of every output.
    void setColor(const vec4 &color);

    int getNumOutputs() const { return outputs_.size(); }

    // What a pass sees.
    struct PassContext
    {
        int width = 0; // output size
        int height = 0;
        int num_outputs = 0;
        const Material *material = nullptr;
        Vector<const Texture *> inputs;
        const Renderer::GBuffer *gbuffer = nullptr; // null outside view callbacks

        int getNumInputs() const { return inputs.size(); }
        // Input k at output pixel (x, y); (0, 0, 0, 0) for a missing input.
        vec4 input(int k, int x, int y) const;
        // Row y of input k when it has the output's size (texels read
        // directly), else null.
        const vec4 *inputRow(int k, int y) const;
        // G-buffer index of output pixel (x, y) (nearest), -1 without one.
        int gbufferIndex(int x, int y) const;
        int getState(const char *name, int default_value = 0) const;
        float getParameter(const char *name, float default_value = 0.0f) const;
    };
    // Fills one output row (out1 is null for a single output).
    using RowFunction = std::function<void(int y, vec4 *out0, vec4 *out1)>;
    // Prepares one pass (reads states, precomputes what it needs) and
    // returns its row function; runs on the calling thread.
    using PassFactory = std::function<RowFunction(const PassContext &context)>;

    // Registers (or replaces) the pass of a base material name.
    static void registerPass(const char *base_material, PassFactory factory);
    static bool hasPass(const char *base_material);

    // Threads the passes may use: 0 (default) = the renderer's whole pool,
    // 1 = the calling thread only (for measurements).
    static void setMaxThreads(int threads);
    static int getMaxThreads();

private:
    bool run(const Material *material, const Vector<Ptr<Texture>> &inputs);

    Ptr<RenderTarget> target_;
    Vector<Ptr<Texture>> outputs_;
};

} // namespace Velmora
