#include "editor/tools/grab_vegetation_translucence_thread.h"

#include "editor/tools/impostor_math.h"
#include "editor/tools/impostors.h"

#include <velmora/Render.h>
#include <velmora/RenderRitual.h>
#include <velmora/Renderer.h>

using namespace Velmora;

namespace Impostors {

GrabVegetationTranslucenceThread::GrabVegetationTranslucenceThread(const GrabParameters &grab_params, QObject *parent)
    : GrabThreadTemplate(grab_params, parent)
{}

void GrabVegetationTranslucenceThread::setup()
{
    light = makeGrabLight();
    render_nodes = {node, Ptr<Node>(light)};
    lighting_material = findMaterial("impostor_grab_lighting_post");
    soften_material = findMaterial("impostor_soften_translucence_post");
    lit_texture = Texture::create();
    lit_texture->create2D(render_width, render_height, Texture::FORMAT_RGBA8, 0x8000000);
}

void GrabVegetationTranslucenceThread::cleanup()
{
    lit_texture = Ptr<Texture>();
    render_nodes.clear();
    light.destroy();
    light = Ptr<LightWorld>();
}

void GrabVegetationTranslucenceThread::setupViewport()
{
    viewport->setNodeLightUsage(2);
    viewport->setSkipFlags(2);
    viewport->setRenderMode(2);
    viewport->addCallback(Renderer::STAGE_LIGHTING, [this](Renderer *) { grabFrame(); });
    viewport->setNodeEnvironmentTextureName(nullptr);
}

void GrabVegetationTranslucenceThread::grabFrame()
{
    // Missing materials were logged when they were looked up; each pass
    // runs only with its material.
    if (lighting_material)
        RenderRitual(render_target, {lit_texture}).render(lighting_material);
    if (soften_material)
        RenderRitual(render_target, {view_texture}).render(soften_material, {lit_texture});
}

void GrabVegetationTranslucenceThread::renderKind(const Ptr<Camera> &camera)
{
    const LightingSettings saved = LightingSettings::current();
    Render::setPrePostMaterials("debug_lights");
    Render::setShadowDistance(2.0f * distance);
    light->setEnabled(true);
    light->setWorldTransform(translucenceLightTransform(camera->getIModelview()));
    viewport->renderNodes(camera, render_nodes);
    light->setEnabled(false);
    saved.restore(false);
}

} // namespace Impostors
