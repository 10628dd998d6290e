#include "editor/tools/grab_lighting_layer_thread.h"

#include "editor/tools/impostor_math.h"

using namespace Velmora;

namespace Impostors {

const char *const GrabLightingLayerThread::ENVIRONMENT_TEXTURE = "tamsel2/textures/editor_environment.dds";

GrabLightingLayerThread::GrabLightingLayerThread(const GrabParameters &grab_params, int layer, QObject *parent)
    : GrabThreadTemplate(grab_params, parent)
    , layer_(layer)
{}

void GrabLightingLayerThread::setup()
{
    light = LightWorld::create(vec4(1.0f, 1.0f, 1.0f, 1.0f));
    light->setScattering(1.0f);
    light->setEnabled(false);
    render_nodes = {node, Ptr<Node>(light)};
}

void GrabLightingLayerThread::cleanup()
{
    render_nodes.clear();
    light.destroy();
    light = Ptr<LightWorld>();
}

void GrabLightingLayerThread::setupViewport()
{
    viewport->setNodeLightUsage(2);
    viewport->setSkipFlags(2);
    viewport->setNodeEnvironmentTextureName(ENVIRONMENT_TEXTURE);
}

void GrabLightingLayerThread::renderKind(const Ptr<Camera> &camera)
{
    light->setWorldTransform(layerLightTransform(layer_));
    light->setEnabled(true);
    viewport->renderNodesTexture2D(camera, render_nodes, view_texture);
    light->setEnabled(false);
}

} // namespace Impostors
