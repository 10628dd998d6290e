#include "editor/tools/grab_gbuffer_thread.h"

#include "editor/tools/impostors.h"

#include <velmora/Render.h>
#include <velmora/RenderRitual.h>
#include <velmora/Renderer.h>

using namespace Velmora;

namespace Impostors {

GrabGBufferThread::GrabGBufferThread(const GrabParameters &grab_params, int mode, QObject *parent)
    : GrabThreadTemplate(grab_params, parent)
    , mode_(mode)
{
    if (mode_ == 8) {
        texture_format = Texture::FORMAT_R32F;
        image_format = Image::FORMAT_R32F;
    }
    separate_alpha = mode_ == 4 || mode_ == 8;
}

int GrabGBufferThread::renderModeOf(int mode)
{
    return mode == 1 || mode == 3 || mode == 6 ? 2 : 1;
}

int GrabGBufferThread::callbackStageOf(int mode)
{
    if (mode == 1 || mode == 6)
        return Renderer::STAGE_LIGHTING;
    return mode == 3 ? Renderer::STAGE_AMBIENT_OCCLUSION : Renderer::STAGE_GBUFFER;
}

void GrabGBufferThread::setupViewport()
{
    viewport->setSkipFlags(2);
    viewport->setRenderMode(renderModeOf(mode_));
    viewport->addCallback(callbackStageOf(mode_), [this](Renderer *) { grabFrame(); });
}

void GrabGBufferThread::renderKind(const Ptr<Camera> &camera)
{
    viewport->renderNode(camera, node);
}

void GrabGBufferThread::grabFrame()
{
    const Ptr<Material> material = findMaterial("impostor_grab_gbuffer_post");
    if (!material)
        return;
    if (mode_ == 8)
        material->setParameterFloat(material->findParameter("impostor_plane_distance"), distance);
    material->setState("grab_mode", mode_);
    RenderRitual(render_target, {view_texture}).render(material);
    if (separate_alpha) {
        material->setState("grab_mode", 0);
        RenderRitual(render_target, {alpha_texture}).render(material);
    }
}

void GrabGBufferThread::saveRenderState()
{
    if (!forcesSSAO())
        return;
    SavedSSAO &s = saved_ssao_;
    s.enabled = Render::isSSAO();
    s.intensity = Render::getSSAOIntensity();
    s.intensity_lighted_side = Render::getSSAOIntensityLightedSide();
    s.intensity_reflection = Render::getSSAOIntensityReflection();
    s.cavity = Render::isSSAOCavity();
    s.cavity_intensity = Render::getSSAOCavityIntensity();
    s.cavity_radius = Render::getSSAOCavityRadius();
    s.ray_tracing = Render::isSSAORayTracing();
    s.ray_tracing_denoise = Render::isSSAORayTracingDenoise();
    s.ray_tracing_threshold = Render::getSSAORayTracingThreshold();
    s.quality = Render::getSSAOQuality();
    s.resolution = Render::getSSAOResolution();
    s.noise = Render::isSSAONoise();
    s.radius = Render::getSSAORadius();
    s.threshold = Render::getSSAOThreshold();

    Render::setSSAO(true);
    Render::setSSAOIntensity(1.0f);
    Render::setSSAOIntensityLightedSide(0.0f);
    Render::setSSAOIntensityReflection(1.0f);
    Render::setSSAOCavity(true);
    Render::setSSAOCavityIntensity(1.0f);
    Render::setSSAOCavityRadius(1.0f);
    Render::setSSAORayTracing(false);
    Render::setSSAORayTracingDenoise(false);
    Render::setSSAORayTracingThreshold(1.0f);
    Render::setSSAOQuality(3);
    Render::setSSAOResolution(2);
    Render::setSSAONoise(true);
    Render::setSSAORadius(1.0f);
    Render::setSSAOThreshold(0.25f);
}

void GrabGBufferThread::restoreRenderState()
{
    if (!forcesSSAO())
        return;
    const SavedSSAO &s = saved_ssao_;
    Render::setSSAO(s.enabled);
    Render::setSSAOIntensity(s.intensity);
    Render::setSSAOIntensityLightedSide(s.intensity_lighted_side);
    Render::setSSAOIntensityReflection(s.intensity_reflection);
    Render::setSSAOCavity(s.cavity);
    Render::setSSAOCavityIntensity(s.cavity_intensity);
    Render::setSSAOCavityRadius(s.cavity_radius);
    Render::setSSAORayTracing(s.ray_tracing);
    Render::setSSAORayTracingDenoise(s.ray_tracing_denoise);
    Render::setSSAORayTracingThreshold(s.ray_tracing_threshold);
    Render::setSSAOQuality(s.quality);
    Render::setSSAOResolution(s.resolution);
    Render::setSSAONoise(s.noise);
    Render::setSSAORadius(s.radius);
    Render::setSSAOThreshold(s.threshold);
}

} // namespace Impostors
