#include "editor/tools/grab_vegetation_normal_thread.h"

#include "editor/tools/impostor_math.h"
#include "editor/tools/impostors.h"

#include <velmora/Render.h>
#include <velmora/RenderRitual.h>
#include <velmora/Renderer.h>

using namespace Velmora;

namespace Impostors {

GrabVegetationNormalThread::GrabVegetationNormalThread(const GrabParameters &grab_params, QObject *parent)
    : GrabThreadTemplate(grab_params, parent)
{}

void GrabVegetationNormalThread::setup()
{
    light = makeGrabLight();
    render_nodes = {node, Ptr<Node>(light)};
    lighting_material = findMaterial("impostor_grab_lighting_post");
    compose_material = findMaterial("impostor_compose_veg_normal_post");
    lit_textures.clear();
    for (int k = 0; k < NUM_LIT_TEXTURES; ++k) {
        Ptr<Texture> texture = Texture::create();
        texture->create2D(render_width, render_height, Texture::FORMAT_RGBA8, 0x8000000);
        lit_textures.append(texture);
    }
}

void GrabVegetationNormalThread::cleanup()
{
    lit_textures.clear();
    current_lit_texture = Ptr<Texture>();
    render_nodes.clear();
    light.destroy();
    light = Ptr<LightWorld>();
}

void GrabVegetationNormalThread::setupViewport()
{
    viewport->setNodeLightUsage(2);
    viewport->setSkipFlags(2);
    viewport->setRenderMode(2);
    viewport->addCallback(Renderer::STAGE_LIGHTING, [this](Renderer *) { grabFrame(); });
    viewport->setNodeEnvironmentTextureName(nullptr);
}

void GrabVegetationNormalThread::grabFrame()
{
    // A missing material was logged when it was looked up.
    if (!lighting_material || !current_lit_texture)
        return;
    RenderRitual(render_target, {current_lit_texture}).render(lighting_material);
}

void GrabVegetationNormalThread::renderKind(const Ptr<Camera> &camera)
{
    const LightingSettings saved = LightingSettings::current();
    Render::setPrePostMaterials("debug_lights");
    Render::setShadows(true);
    Render::setShadowDistance(2.0f * distance);
    light->setEnabled(true);
    const mat4 imodelview = camera->getIModelview();
    lit_renders_ = 0;
    for (int k = 0; k < NUM_LIT_TEXTURES; ++k) {
        light->setWorldTransform(vegetationLightTransform(k, imodelview));
        current_lit_texture = lit_textures[k];
        viewport->renderNodes(camera, render_nodes);
        ++lit_renders_;
    }
    current_lit_texture = Ptr<Texture>();
    light->setEnabled(false);
    saved.restore();
    composeNormal();
}

void GrabVegetationNormalThread::composeNormal()
{
    if (!compose_material)
        return;
    RenderRitual(render_target, {view_texture}).render(compose_material, lit_textures);
}

} // namespace Impostors
