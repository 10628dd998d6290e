#include "editor/tools/grab_thread_template.h"

#include "editor/tools/impostor_math.h"
#include "editor/tools/impostors.h"

#include <velmora/Render.h>
#include <velmora/RenderRitual.h>
#include <velmora/RenderState.h>

#include <QThreadPool>
#include <QtConcurrent>

using namespace Velmora;

namespace Impostors {

namespace {

constexpr int VIEW_FLAGS = 0x8002000;
constexpr int COPY_FLAGS = 0x8000000;
constexpr int WORK_FLAGS = 0x80000E0;

bool makeTexture(Ptr<Texture> &texture, int width, int height, int format, int flags)
{
    texture = Texture::create();
    return texture->create2D(width, height, format, flags);
}

} // namespace

GrabThreadTemplate::GrabThreadTemplate(const GrabParameters &grab_params, QObject *parent)
    : GrabThreadBase(parent)
    , node(grab_params.node)
    , distance(grab_params.distance)
    , projection(grab_params.projection)
    , modelviews(grab_params.modelviews)
    , numPhi(grab_params.numPhi)
    , numTheta(grab_params.numTheta)
    , supersampling(grab_params.supersampling)
    , cellWidth(grab_params.cellWidth)
    , cellHeight(grab_params.cellHeight)
    , render_width(grab_params.supersampling * grab_params.cellWidth)
    , render_height(grab_params.supersampling * grab_params.cellHeight)
    , atlas_width(grab_params.numPhi * grab_params.cellWidth)
    , atlas_height(grab_params.numTheta * grab_params.cellHeight)
    , padding(grab_params.padding)
    , atlas_image(Image::create())
{
    Q_ASSERT_X(grab_params.modelviews.size() == static_cast<size_t>(grab_params.numPhi * grab_params.numTheta),
               "GrabThreadTemplate", "grab_params.modelviews.size() == numPhi * numTheta");
    state = numPhi >= 1 && numTheta >= 1 ? GRAB_SETUP : GRAB_FINISH;
}

GrabThreadTemplate::~GrabThreadTemplate()
{
    copy_future.waitForFinished();
}

void GrabThreadTemplate::update()
{
    switch (state) {
    case GRAB_SETUP: {
        const QString reason = checkSettings();
        if (!reason.isEmpty()) {
            refuse(reason);
            return;
        }
        setup();
        if (!createResources()) {
            refuse(QStringLiteral("the render textures could not be made"));
            return;
        }
        state = GRAB_RENDER;
        break;
    }
    case GRAB_RENDER:
        renderView();
        state = GRAB_POST;
        break;
    case GRAB_POST:
        postProcessImage();
        state = GRAB_DOWNSAMPLE;
        break;
    case GRAB_DOWNSAMPLE:
        downsampleView();
        state = GRAB_COPY;
        break;
    case GRAB_COPY:
        copy_future = QtConcurrent::run(QThreadPool::globalInstance(), [this] { copyViewToAtlas(); });
        state = GRAB_WAIT_COPY;
        break;
    case GRAB_WAIT_COPY:
        if (copy_future.isRunning())
            break;
        state = GRAB_NEXT_VIEW;
        Q_FALLTHROUGH();
    case GRAB_NEXT_VIEW:
        if (nextView())
            state = GRAB_RENDER;
        else
            finish();
        break;
    case GRAB_FINISH:
        finish();
        break;
    case GRAB_DONE:
    default:
        break;
    }
}

QString GrabThreadTemplate::checkSettings() const
{
    if (modelviews.size() != size_t(numPhi) * size_t(numTheta))
        return QStringLiteral("the camera grid has %1 views instead of %2")
                .arg(modelviews.size())
                .arg(numPhi * numTheta);
    GrabParameters size;
    size.cellWidth = cellWidth;
    size.cellHeight = cellHeight;
    size.supersampling = supersampling;
    QString reason;
    isRenderSizeSupported(size, &reason);
    return reason;
}

void GrabThreadTemplate::cancel()
{
    if (state == GRAB_DONE)
        return;
    copy_future.waitForFinished();
    runCleanup();
    releaseResources();
    state = GRAB_DONE;
    stop();
    emit cancelled();
}

void GrabThreadTemplate::finish()
{
    state = GRAB_FINISH;
    runCleanup();
    releaseResources();
    state = GRAB_DONE;
    stop();
    emit finished();
}

void GrabThreadTemplate::refuse(const QString &reason)
{
    qWarning("Impostor creator: cannot grab the impostor: %s.", qUtf8Printable(reason));
    runCleanup();
    releaseResources();
    state = GRAB_DONE;
    stop();
    emit cancelled();
}

void GrabThreadTemplate::runCleanup()
{
    if (cleaned_up_)
        return;
    cleaned_up_ = true;
    cleanup();
}

void GrabThreadTemplate::releaseResources()
{
    // The atlas is the result and stays; the render resources go.
    view_image = Ptr<Image>();
    view_texture = Ptr<Texture>();
    alpha_copy_texture = Ptr<Texture>();
    work_texture = Ptr<Texture>();
    alpha_texture = Ptr<Texture>();
    alpha_work_texture = Ptr<Texture>();
    render_target = Ptr<RenderTarget>();
    viewport = Ptr<Viewport>();
}

bool GrabThreadTemplate::createResources()
{
    col = 0;
    row = 0;
    bool ok = true;
    view_image = Image::create();
    atlas_image = Image::create();
    ok = atlas_image->create2D(atlas_width, atlas_height, image_format, 1, true, true) && ok;
    ok = makeTexture(view_texture, render_width, render_height, texture_format, VIEW_FLAGS) && ok;
    ok = makeTexture(alpha_copy_texture, render_width, render_height, 0, COPY_FLAGS) && ok;
    ok = makeTexture(work_texture, render_width, render_height, texture_format, WORK_FLAGS) && ok;
    if (separate_alpha) {
        ok = makeTexture(alpha_texture, render_width, render_height, 3, WORK_FLAGS) && ok;
        ok = makeTexture(alpha_work_texture, render_width, render_height, 3, WORK_FLAGS) && ok;
    }
    render_target = RenderTarget::create();
    viewport = Viewport::create();
    if (ok)
        setupViewport();
    return ok;
}

void GrabThreadTemplate::renderView()
{
    const mat4 &modelview = modelviews[size_t(row) * size_t(numPhi) + size_t(col)];
    Ptr<Camera> camera = Camera::create();
    camera->setProjection(projection);
    camera->setModelview(modelview);

    const bool was_enabled = node && node->isEnabled();
    if (node)
        node->setEnabled(true);
    saved_supersampling = Render::getSupersampling();
    saved_distance_scale = Render::getDistanceScale();
    Render::setSupersampling(1.0f);
    Render::setDistanceScale(10.0f);
    saveRenderState();
    RenderState::saveState();
    RenderState::clearStates();
    RenderState::setViewport(0, 0, render_width, render_height);
    renderKind(camera);
    RenderState::restoreState();
    restoreRenderState();
    Render::setSupersampling(saved_supersampling);
    Render::setDistanceScale(saved_distance_scale);
    if (node)
        node->setEnabled(was_enabled);
}

void GrabThreadTemplate::postProcessImage()
{
    dilation_passes_ = 0;
    if (padding < 1)
        return;
    const Ptr<Material> extrude = findMaterial("extrude_post");
    const Ptr<Material> read_channel = findMaterial("read_channel_post");
    const Ptr<Material> write_channel = findMaterial("write_channel_post");
    if (!extrude || !read_channel || !write_channel)
        return;
    extrude->setState("is_separate_alpha_texture", separate_alpha ? 1 : 0);

    // Keep the undilated coverage.
    read_channel->setState("channel", 3);
    RenderRitual(render_target, {alpha_copy_texture}).render(read_channel, {view_texture});
    RenderRitual(render_target, {work_texture}).copyTexture2D(view_texture);

    const int passes = padding * supersampling;
    for (int i = 0; i < passes; ++i) {
        if (separate_alpha) {
            RenderRitual(render_target, {view_texture, alpha_work_texture})
                    .render(extrude, {work_texture, alpha_texture});
            view_texture->swap(work_texture);
            alpha_work_texture->swap(alpha_texture);
        } else {
            RenderRitual(render_target, {view_texture}).render(extrude, {work_texture});
            view_texture->swap(work_texture);
        }
        ++dilation_passes_;
    }
    // The last swap left the newest pass in work_texture (and alpha_texture):
    // no copy back, or it would drop that pass.

    write_channel->setState("in_channel", 0);
    write_channel->setState("out_channel", 3);
    RenderRitual(render_target, {view_texture}).render(write_channel, {work_texture, alpha_copy_texture});
}

void GrabThreadTemplate::downsampleView()
{
    Ptr<Texture> current = view_texture;
    int w = current->getWidth(0);
    int h = current->getHeight(0);
    halvings_ = 0;
    while (w > cellWidth && h > cellHeight) {
        w /= 2;
        h /= 2;
        Ptr<RenderTarget> target = RenderTarget::create();
        Ptr<Texture> smaller = Texture::create();
        if (!smaller->create2D(w, h, texture_format, VIEW_FLAGS))
            break;
        RenderRitual(target, {smaller}).copyTexture2D(current);
        current = smaller;
        ++halvings_;
    }
    current->createMipmaps();
    current->getImage(view_image);
}

void GrabThreadTemplate::copyViewToAtlas()
{
    if (!Render::isFlipped())
        view_image->flipY();
    atlas_image->copy(*view_image, col * cellWidth, row * cellHeight, 0, 0, cellWidth, cellHeight, false);
    view_image->clear();
}

bool GrabThreadTemplate::nextView()
{
    ++col;
    if (col >= numPhi) {
        ++row;
        col = 0;
    }
    emit progress(float(numPhi * row + col) / float(numPhi * numTheta));
    return col < numPhi && row < numTheta;
}

} // namespace Impostors
