#include "velmora/Viewport.h"

#include "velmora/Camera.h"
#include "velmora/Image.h"
#include "velmora/Log.h"
#include "velmora/Node.h"
#include "velmora/RenderState.h"
#include "velmora/Renderer.h"
#include "velmora/Texture.h"

#include "engine_internal.h"
#include "render_internal.h"

namespace Velmora {

namespace {

bool isStage(int stage)
{
    return stage == Renderer::STAGE_GBUFFER || stage == Renderer::STAGE_AMBIENT_OCCLUSION
            || stage == Renderer::STAGE_LIGHTING;
}

} // namespace

Ptr<Viewport> Viewport::create()
{
    return Ptr<Viewport>(new Viewport);
}

int Viewport::addCallback(int stage, Callback *callback)
{
    std::shared_ptr<Callback> owned(callback);
    if (!owned || !isStage(stage)) {
        Log::error("Viewport::addCallback: needs a callback and stage 2, 10 or 29 (got %d)\n", stage);
        return -1;
    }
    callbacks_.append(Entry{next_id_, stage, owned});
    return next_id_++;
}

int Viewport::addCallback(int stage, std::function<void(Renderer *)> callback)
{
    return addCallback(stage, callback ? new CallbackFunction1<Renderer *>(std::move(callback)) : nullptr);
}

bool Viewport::removeCallback(int id)
{
    for (int i = 0; i < callbacks_.size(); ++i) {
        if (callbacks_[i].id == id) {
            callbacks_.remove(i);
            return true;
        }
    }
    return false;
}

void Viewport::clearCallbacks(int stage)
{
    Vector<Entry> kept;
    for (const Entry &entry : callbacks_) {
        if (stage != -1 && entry.stage != stage)
            kept.append(entry);
    }
    callbacks_ = kept;
}

int Viewport::getNumCallbacks(int stage) const
{
    int count = 0;
    for (const Entry &entry : callbacks_)
        count += entry.stage == stage ? 1 : 0;
    return count;
}

void Viewport::runCallbacks(int stage, Renderer *renderer) const
{
    // A snapshot: callbacks may add or remove callbacks of this viewport.
    Vector<std::shared_ptr<Callback>> calls;
    for (const Entry &entry : callbacks_) {
        if (entry.stage == stage)
            calls.append(entry.callback);
    }
    for (const std::shared_ptr<Callback> &call : calls)
        call->run(renderer);
}

bool Viewport::renderImage2D(const Ptr<Camera> &camera, const Ptr<Image> &image, int width, int height, int hdr)
{
    if (!engine_internal::checkRunning("Viewport::renderImage2D"))
        return false;
    if (!camera || !image || width <= 0 || height <= 0) {
        Log::error("Viewport::renderImage2D: needs a camera, an image and a positive size\n");
        return false;
    }
    if (!render_internal::acceptImageSize("Viewport::renderImage2D", width, height))
        return false;
    render_internal::ViewRequest request;
    request.camera = camera;
    request.width = width;
    request.height = height;
    request.light_usage = 0;
    request.environment = environment_;
    request.viewport = this;
    Vector<vec4> color;
    return render_internal::renderView(request, &color)
            && render_internal::toImage(color, width, height, hdr != 0, *image);
}

bool Viewport::renderNode(const Ptr<Camera> &camera, const Ptr<Node> &node)
{
    return renderNodesTo(camera, Vector<Ptr<Node>>{node}, nullptr, "Viewport::renderNode");
}

bool Viewport::renderNodes(const Ptr<Camera> &camera, const Vector<Ptr<Node>> &nodes)
{
    return renderNodesTo(camera, nodes, nullptr, "Viewport::renderNodes");
}

bool Viewport::renderNodeTexture2D(const Ptr<Camera> &camera, const Ptr<Node> &node, const Ptr<Texture> &texture)
{
    if (!texture) {
        Log::error("Viewport::renderNodeTexture2D: needs a texture\n");
        return false;
    }
    return renderNodesTo(camera, Vector<Ptr<Node>>{node}, texture.get(), "Viewport::renderNodeTexture2D");
}

bool Viewport::renderNodesTexture2D(const Ptr<Camera> &camera, const Vector<Ptr<Node>> &nodes,
                                    const Ptr<Texture> &texture)
{
    if (!texture) {
        Log::error("Viewport::renderNodesTexture2D: needs a texture\n");
        return false;
    }
    return renderNodesTo(camera, nodes, texture.get(), "Viewport::renderNodesTexture2D");
}

bool Viewport::renderNodesTo(const Ptr<Camera> &camera, const Vector<Ptr<Node>> &nodes, Texture *texture,
                             const char *what)
{
    if (!engine_internal::checkRunning(what))
        return false;
    if (!camera) {
        Log::error("%s: needs a camera\n", what);
        return false;
    }
    const int width = texture ? texture->getWidth() : RenderState::getViewportWidth();
    const int height = texture ? texture->getHeight() : RenderState::getViewportHeight();
    if (width <= 0 || height <= 0) {
        Log::error(texture ? "%s: the texture is empty\n" : "%s: the render state has no viewport size\n", what);
        return false;
    }
    render_internal::ViewRequest request;
    request.camera = camera;
    request.width = width;
    request.height = height;
    request.nodes = &nodes;
    request.full = texture || (render_mode_ != 0 && render_mode_ != 1);
    request.light_usage = node_light_usage_;
    request.environment = environment_;
    request.viewport = this;
    Vector<vec4> color;
    if (!render_internal::renderView(request, texture ? &color : nullptr))
        return false;
    if (texture)
        render_internal::toTexture(color, *texture);
    return true;
}

} // namespace Velmora
