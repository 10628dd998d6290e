#include "editor/tools/impostors.h"

#include <velmora/Materials.h>
#include <velmora/Render.h>

#include <QtGlobal>

using namespace Velmora;

namespace Impostors {

Ptr<Material> findMaterial(const char *name)
{
    Ptr<Material> material = Materials::findBaseMaterial(name);
    if (!material)
        qCritical("Material \"%s\" was not found.", name);
    return material;
}

Ptr<LightWorld> makeGrabLight()
{
    Ptr<LightWorld> light = LightWorld::create(vec4(1.0f, 1.0f, 1.0f, 1.0f));
    light->setScattering(0.0f);
    light->setNumShadowCascades(4);
    light->setShadowCascadeBorder(0, 0.02f);
    light->setShadowCascadeBorder(1, 0.08f);
    light->setShadowCascadeBorder(2, 0.32f);
    light->setShadowResolution(5);
    light->setMode(0);
    light->setEnabled(false);
    return light;
}

LightingSettings LightingSettings::current()
{
    LightingSettings settings;
    settings.pre_post_materials = QByteArray(Render::getPrePostMaterials());
    settings.shadows = Render::isShadows();
    settings.shadow_distance = Render::getShadowDistance();
    return settings;
}

void LightingSettings::restore(bool restore_shadows) const
{
    Render::setPrePostMaterials(pre_post_materials.constData());
    if (restore_shadows)
        Render::setShadows(shadows);
    Render::setShadowDistance(shadow_distance);
}

} // namespace Impostors
