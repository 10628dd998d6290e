#pragma once

#include "editor/tools/grab_parameters.h"
#include "editor/tools/grab_thread_base.h"

#include <velmora/Camera.h>
#include <velmora/RenderTarget.h>
#include <velmora/Texture.h>
#include <velmora/Viewport.h>

#include <QFuture>

#include <vector>

namespace Impostors {

// The per-view pipeline every grab of one atlas shares. Each update does
// one step: set-up, then per view render, dilation (post), downsampling to
// the cell size, start of the atlas copy on Qt's global pool, and the wait
// for it; after the last view the cleanup hook and finished(). Subclasses
// supply the render through the hooks.
//
// Renders whose size (supersampling x cell) exceeds the renderer's largest
// texture are refused at set-up: a warning and cancelled(), nothing drawn.
class GrabThreadTemplate : public GrabThreadBase
{
    Q_OBJECT

public:
    enum State {
        GRAB_SETUP = 0,
        GRAB_RENDER = 1,
        GRAB_POST = 2,
        GRAB_DOWNSAMPLE = 3,
        GRAB_COPY = 4,
        GRAB_WAIT_COPY = 5,
        GRAB_NEXT_VIEW = 6,
        GRAB_FINISH = 7,
        GRAB_DONE = 8,
    };

    explicit GrabThreadTemplate(const GrabParameters &grab_params, QObject *parent = nullptr);
    // Waits for a running atlas copy.
    ~GrabThreadTemplate() override;

    void update() override;
    // Waits for a running copy, runs the cleanup hook and emits
    // cancelled() (once; nothing for a job already done).
    void cancel() override;
    Velmora::Ptr<Velmora::Image> getImage() const override { return atlas_image; }

    int getState() const { return state; }
    int getColumn() const { return col; }
    int getRow() const { return row; }
    int getRenderWidth() const { return render_width; }
    int getRenderHeight() const { return render_height; }
    // Halvings the last downsampling made (tests).
    int getNumHalvings() const { return halvings_; }
    // Dilation passes the last post step ran (tests).
    int getNumDilationPasses() const { return dilation_passes_; }

protected:
    // Hooks, all empty here.
    virtual void setup() {}
    virtual void cleanup() {}
    virtual void setupViewport() {}
    virtual void saveRenderState() {}
    virtual void renderKind(const Velmora::Ptr<Velmora::Camera> &camera) { (void)camera; }
    virtual void restoreRenderState() {}

    bool createResources();
    void renderView();
    void postProcessImage();
    void downsampleView();
    // Runs on Qt's global pool; touches only view_image and atlas_image.
    virtual void copyViewToAtlas();
    bool nextView();

    int texture_format = 3;
    int image_format = 3;

    Velmora::Ptr<Velmora::Node> node;
    float distance = 0.0f;
    Velmora::mat4 projection;
    std::vector<Velmora::mat4> modelviews;

    int numPhi = 0;
    int numTheta = 0;
    int supersampling = 1;
    int cellWidth = 0;
    int cellHeight = 0;
    int render_width = 0;
    int render_height = 0;
    int atlas_width = 0;
    int atlas_height = 0;
    int padding = 0;

    bool separate_alpha = false;

    int col = 0;
    int row = 0;

    Velmora::Ptr<Velmora::Image> view_image;
    Velmora::Ptr<Velmora::Image> atlas_image;
    Velmora::Ptr<Velmora::Texture> view_texture;
    Velmora::Ptr<Velmora::Texture> alpha_copy_texture;
    Velmora::Ptr<Velmora::Texture> work_texture;
    Velmora::Ptr<Velmora::RenderTarget> render_target;
    Velmora::Ptr<Velmora::Viewport> viewport;
    Velmora::Ptr<Velmora::Texture> alpha_texture;
    Velmora::Ptr<Velmora::Texture> alpha_work_texture;

    int state = GRAB_SETUP;
    QFuture<void> copy_future;

    float saved_supersampling = 1.0f;
    float saved_distance_scale = 1.0f;

private:
    // Why the grab cannot run ("" when it can).
    QString checkSettings() const;
    void finish();
    void refuse(const QString &reason);
    void runCleanup();
    void releaseResources();

    bool cleaned_up_ = false;
    int halvings_ = 0;
    int dilation_passes_ = 0;
};

} // namespace Impostors
