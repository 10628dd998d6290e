#pragma once

#include "velmora/Base.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

#include <functional>
#include <memory>

namespace Velmora {

class Camera;
class Image;
class Node;
class Renderer;
class Texture;

namespace render_internal {
class Pipeline;
}

// An off-screen view of the CPU renderer with its own settings and stage
// callbacks. It draws the world (renderImage2D) or a list of nodes with
// their descendants (renderNode*). Renders run on the main thread; the
// callbacks of a stage run there too, given the view's Renderer.
//
// Render mode 0 and 1 stop node renders without a target after the
// G-buffer stage (2); other modes run every stage. Renders into an image
// or a texture always run every stage. Node renders without a target take
// their size from RenderState's viewport.
class Viewport
{
public:
    using Callback = CallbackBase1<Renderer *>;

    static Ptr<Viewport> create();

    // Takes ownership of the callback; stage 2, 10 or 29 (Renderer::STAGE_*).
    // Returns an id for removeCallback, or -1 (callback deleted, one error
    // line) for another stage or a null callback.
    int addCallback(int stage, Callback *callback);
    int addCallback(int stage, std::function<void(Renderer *)> callback);
    bool removeCallback(int id);
    // stage -1 clears every stage.
    void clearCallbacks(int stage = -1);
    int getNumCallbacks(int stage) const;

    int getRenderMode() const { return render_mode_; }
    void setRenderMode(int mode) { render_mode_ = mode; }
    // Stored, no effect on pixels.
    int getMode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }
    int getSkipFlags() const { return skip_flags_; }
    void setSkipFlags(int flags) { skip_flags_ = flags; }
    void appendSkipFlags(int flags) { skip_flags_ |= flags; }
    void removeSkipFlags(int flags) { skip_flags_ &= ~flags; }
    // 0: the world's lights; 2: only the lights in the rendered node list.
    int getNodeLightUsage() const { return node_light_usage_; }
    void setNodeLightUsage(int usage) { node_light_usage_ = usage; }
    // An environment texture name selects the hemispherical ambient for
    // this view; null or "" keeps the world's ambient.
    const char *getNodeEnvironmentTextureName() const { return environment_.get(); }
    void setNodeEnvironmentTextureName(const char *name) { environment_ = name ? name : ""; }

    // The world as the camera sees it, top-down rows, gamma 2.2, alpha =
    // coverage: RGBA8, or RGBA16F when hdr. false (image untouched) for a
    // null camera or image, a size that is not positive or beyond
    // MAX_IMAGE_SIDE / MAX_IMAGE_PIXELS, or no engine.
    static constexpr int MAX_IMAGE_SIDE = 16384;
    static constexpr long long MAX_IMAGE_PIXELS = 8192ll * 8192ll;
    bool renderImage2D(const Ptr<Camera> &camera, const Ptr<Image> &image, int width, int height, int hdr = 0);
    bool renderNode(const Ptr<Camera> &camera, const Ptr<Node> &node);
    bool renderNodes(const Ptr<Camera> &camera, const Vector<Ptr<Node>> &nodes);
    // Renders at the texture's size into its level 0 (gamma-encoded, not
    // clamped, alpha = coverage); false for an empty texture.
    bool renderNodeTexture2D(const Ptr<Camera> &camera, const Ptr<Node> &node, const Ptr<Texture> &texture);
    bool renderNodesTexture2D(const Ptr<Camera> &camera, const Vector<Ptr<Node>> &nodes, const Ptr<Texture> &texture);

private:
    friend class render_internal::Pipeline;
    Viewport() = default;

    bool renderNodesTo(const Ptr<Camera> &camera, const Vector<Ptr<Node>> &nodes, Texture *texture, const char *what);
    void runCallbacks(int stage, Renderer *renderer) const;

    struct Entry
    {
        int id;
        int stage;
        std::shared_ptr<Callback> callback;
    };
    Vector<Entry> callbacks_;
    int next_id_ = 1;
    int render_mode_ = 2;
    int mode_ = 0;
    int skip_flags_ = 0;
    int node_light_usage_ = 0;
    String environment_;
};

} // namespace Velmora
