#include "editor/tools/grab_final_thread.h"

using namespace Velmora;

namespace Impostors {

GrabFinalThread::GrabFinalThread(const GrabParameters &grab_params, QObject *parent)
    : GrabThreadTemplate(grab_params, parent)
{}

void GrabFinalThread::setupViewport()
{
    viewport->setNodeLightUsage(0);
    viewport->setSkipFlags(18);
    viewport->setNodeEnvironmentTextureName(nullptr);
}

void GrabFinalThread::renderKind(const Ptr<Camera> &camera)
{
    viewport->renderNodeTexture2D(camera, node, view_texture);
}

} // namespace Impostors
