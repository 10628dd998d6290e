#pragma once

#include "editor/tools/grab_thread_template.h"

namespace Impostors {

// Grabs one G-buffer channel of the node (mode 0..8: albedo, albedo with
// SSAO, normal, bent normal, shading, baked AO, SSAO, translucence,
// depth). The channel is read by a pass at the render stage where it is
// filled. The SSAO modes force the SSAO settings for their renders and
// put the user's back after each view.
class GrabGBufferThread : public GrabThreadTemplate
{
    Q_OBJECT

public:
    enum { NUM_SSAO_SETTINGS = 15 };

    GrabGBufferThread(const GrabParameters &grab_params, int mode, QObject *parent = nullptr);

    int getMode() const { return mode_; }
    // Viewport render mode and callback stage of a mode.
    static int renderModeOf(int mode);
    static int callbackStageOf(int mode);

protected:
    void setupViewport() override;
    void saveRenderState() override;
    void renderKind(const Velmora::Ptr<Velmora::Camera> &camera) override;
    void restoreRenderState() override;

private:
    void grabFrame();
    bool forcesSSAO() const { return mode_ == 1 || mode_ == 6; }

    int mode_ = 0;
    struct SavedSSAO
    {
        bool enabled = false;
        float intensity = 0.0f;
        float intensity_lighted_side = 0.0f;
        float intensity_reflection = 0.0f;
        bool cavity = false;
        float cavity_intensity = 0.0f;
        float cavity_radius = 0.0f;
        bool ray_tracing = false;
        bool ray_tracing_denoise = false;
        float ray_tracing_threshold = 0.0f;
        int quality = 0;
        int resolution = 0;
        bool noise = false;
        float radius = 0.0f;
        float threshold = 0.0f;
    } saved_ssao_;
};

} // namespace Impostors
