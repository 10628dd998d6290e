#include "editor/tools/camera_setup.h"

#include "editor/tools/impostor_math.h"
#include "editor/tools/impostors.h"

#include <velmora/Camera.h>
#include <velmora/Render.h>
#include <velmora/RenderRitual.h>
#include <velmora/RenderState.h>
#include <velmora/RenderTarget.h>
#include <velmora/Renderer.h>
#include <velmora/Texture.h>
#include <velmora/Viewport.h>

#include <QtGlobal>

#include <cmath>

using namespace Velmora;

namespace Impostors {

namespace {

constexpr int MASK_FORMAT = 0;
constexpr int MASK_FLAGS = 0x8000000;
constexpr float RADIUS_EPSILON = 1e-6f;
constexpr int MAX_GROW_STEPS = 10;

const char *const FIT_WARNING = "Impostor creator: failed to adjust projection width/height to fit a node!";

mat4 orthoProjection(float s, float distance)
{
    return Math::ortho(-s, s, -s, s, 0.01f, 2.0f * distance);
}

// Renders the node's coverage from one view into a mask texture.
class SilhouetteRenderer
{
public:
    SilhouetteRenderer(const Ptr<Node> &node, const mat4 &projection, int width, int height)
        : node_(node)
        , projection_(projection)
        , width_(width)
        , height_(height)
        , viewport_(Viewport::create())
        , mask_(Texture::create())
    {
        mask_->create2D(width, height, MASK_FORMAT, MASK_FLAGS);
        viewport_->setRenderMode(0);
        viewport_->addCallback(Renderer::STAGE_GBUFFER, [this](Renderer *renderer) { render(renderer); });
    }

    void setModelview(const mat4 &modelview) { modelview_ = modelview; }
    const Ptr<Texture> &mask() const { return mask_; }

    void renderView()
    {
        const float supersampling = Render::getSupersampling();
        const float distance_scale = Render::getDistanceScale();
        Render::setSupersampling(1.0f);
        Render::setDistanceScale(10.0f);
        RenderState::saveState();
        RenderState::clearStates();
        RenderState::setViewport(0, 0, width_, height_);
        Ptr<Camera> camera = Camera::create();
        camera->setModelview(modelview_);
        camera->setProjection(projection_);
        // A clutter's stand-in mesh is kept disabled; the renderer skips
        // disabled nodes, so it is switched on for this render only.
        const bool was_enabled = node_ && node_->isEnabled();
        if (node_)
            node_->setEnabled(true);
        viewport_->renderNode(camera, node_);
        if (node_)
            node_->setEnabled(was_enabled);
        RenderState::restoreState();
        Render::setSupersampling(supersampling);
        Render::setDistanceScale(distance_scale);
    }

private:
    void render(Renderer *renderer)
    {
        const Ptr<Material> material = findMaterial("impostor_grab_silhouette");
        if (!material)
            return;
        RenderRitual ritual(renderer->getPostRenderTarget(), {mask_});
        ritual.render(material);
    }

    Ptr<Node> node_;
    mat4 projection_;
    mat4 modelview_;
    int width_;
    int height_;
    Ptr<Viewport> viewport_;
    Ptr<Texture> mask_;
};

// Accumulates the union of the views' masks.
class SilhouetteBlendTarget
{
public:
    SilhouetteBlendTarget(int width, int height)
        : target_(RenderTarget::create())
        , previous_(Texture::create())
        , accumulated_(Texture::create())
    {
        previous_->create2D(width, height, MASK_FORMAT, MASK_FLAGS);
        accumulated_->create2D(width, height, MASK_FORMAT, MASK_FLAGS);
        RenderRitual(target_, {accumulated_}).setColor(vec4(0.0f));
    }

    void blend(const Ptr<Texture> &mask)
    {
        const Ptr<Material> material = findMaterial("impostor_blend_silhouettes");
        if (!material)
            return;
        RenderRitual(target_, {previous_}).copyTexture2D(accumulated_);
        RenderRitual(target_, {accumulated_}).render(material, {previous_, mask});
    }

    const Ptr<Texture> &accumulated() const { return accumulated_; }

private:
    Ptr<RenderTarget> target_;
    Ptr<Texture> previous_;
    Ptr<Texture> accumulated_;
};

bool isRowEmpty(const Image &image, int y)
{
    for (int x = 0; x < image.getWidth(); ++x) {
        if (image.get2D(x, y).i.r > 0)
            return false;
    }
    return true;
}

bool isColumnEmpty(const Image &image, int x)
{
    for (int y = 0; y < image.getHeight(); ++y) {
        if (image.get2D(x, y).i.r > 0)
            return false;
    }
    return true;
}

} // namespace

bool CameraSetup::setup()
{
    if (!computeBounds())
        return false;
    updateModelviews();
    fitProjection();
    return true;
}

bool CameraSetup::computeBounds()
{
    if (!node)
        return false;
    const BoundSphere sphere = node->getWorldBoundSphere();
    const float r = sphere.getRadius();
    if (!(r >= RADIUS_EPSILON))
        return false;
    radius = r;
    pivot = vec4(sphere.getCenter(), r);
    distance = 3.0f * r;
    return true;
}

void CameraSetup::updateModelviews()
{
    const quat rotation = node ? node->getWorldRotation() : quat();
    modelviews = Impostors::buildModelviews(pivot.xyz(), rotation, distance, numPhi, numTheta);
}

Ptr<Image> CameraSetup::renderSilhouettes(float half_size) const
{
    int width = 0;
    int height = 0;
    fitToAspect(MASK_SIZE, aspect, &width, &height);
    Q_ASSERT_X(width > 0 && height > 0, "CameraSetup", "render_width > 0 && render_height > 0");
    Ptr<Image> image = Image::create();
    if (width <= 0 || height <= 0)
        return image;
    SilhouetteRenderer renderer(node, orthoProjection(half_size, distance), width, height);
    SilhouetteBlendTarget blend(width, height);
    for (const mat4 &modelview : modelviews) {
        renderer.setModelview(modelview);
        renderer.renderView();
        blend.blend(renderer.mask());
    }
    blend.accumulated()->getImage(image);
    return image;
}

CameraSetup::Margins CameraSetup::measureSilhouetteMargins(const Image &image, float aspect)
{
    const int w = image.getWidth();
    const int h = image.getHeight();
    int top = 0;
    while (top < h / 2 && isRowEmpty(image, top))
        ++top;
    int bottom = 0;
    while (h - 1 - bottom >= h / 2 && isRowEmpty(image, h - 1 - bottom))
        ++bottom;
    int left = 0;
    while (left < w / 2 && isColumnEmpty(image, left))
        ++left;
    int right = 0;
    while (w - 1 - right >= w / 2 && isColumnEmpty(image, w - 1 - right))
        ++right;

    Margins result;
    // Every row empty: the two counts met in the middle.
    result.empty = top == h / 2 && bottom == h - h / 2;
    const int vertical = std::min(top, bottom);
    const int horizontal = std::min(left, right);
    if (float(horizontal) * aspect >= float(vertical)) {
        result.margin = vertical;
        result.horizontal = false;
    } else {
        result.margin = horizontal;
        result.horizontal = true;
    }
    return result;
}

CameraSetup::Step CameraSetup::fitStep(float half_size) const
{
    ++steps_;
    const Ptr<Image> image = source_ ? source_(half_size) : renderSilhouettes(half_size);
    Step step;
    step.size = half_size;
    if (!image || image->getWidth() <= 0 || image->getHeight() <= 0) {
        step.empty = true;
        return step;
    }
    const Margins margins = measureSilhouetteMargins(*image, aspect);
    step.empty = margins.empty;
    step.margin = margins.margin - 1;
    if (step.empty || step.margin <= 0)
        return step;
    const int half_dim = (margins.horizontal ? image->getWidth() : image->getHeight()) / 2;
    step.size = half_size - float(step.margin) * (half_size / float(half_dim));
    return step;
}

void CameraSetup::fitProjection()
{
    steps_ = 0;
    const float s0 = 1.1f * radius;
    float s = s0;
    int m = 0;
    bool empty = false;
    {
        const Step first = fitStep(s0);
        s = first.size;
        m = first.margin;
        empty = first.empty;
    }
    float ratio = (s0 - s) * (1.0f / s0);
    if (!empty && ratio >= 0.5f) {
        const Step second = fitStep(s);
        s = second.size;
        m = second.margin;
        empty = second.empty;
        ratio = (s0 - s) * (1.0f / s0);
    }
    if (!empty && ratio < 0.5f && m >= 0) {
        // Grow back in steps of a tenth of the shrink, in world units.
        const float step = ratio * 0.1f * s0;
        m = fitStep(s).margin;
        for (int i = 0; m < 0 && i < MAX_GROW_STEPS; ++i) {
            s += step;
            m = fitStep(s).margin;
        }
    }
    if (empty) {
        // Nothing was seen (a missing silhouette material): keep the start.
        s = s0;
        m = -1;
    }
    if (m < 0)
        qWarning("%s", FIT_WARNING);
    size = s;
    projection = orthoProjection(s, distance);
}

} // namespace Impostors
