#pragma once

#include <velmora/Light.h>
#include <velmora/Material.h>
#include <velmora/Ptr.h>

#include <QByteArray>

namespace Impostors {

// The engine base material of that name; null, with the critical log line
// "Material "<name>" was not found.", when the engine has none.
Velmora::Ptr<Velmora::Material> findMaterial(const char *name);

// The directional light the vegetation grabs light the node with: white,
// no scattering, four shadow cascades, disabled. Made through the API, so
// it never enters the world's node list.
Velmora::Ptr<Velmora::LightWorld> makeGrabLight();

// The render settings a lit grab changes for one view: the pre-post
// material list, the shadows flag and the shadow distance, read when made.
struct LightingSettings
{
    QByteArray pre_post_materials;
    bool shadows = true;
    float shadow_distance = 0.0f;

    static LightingSettings current();
    // Puts every field back (the shadows flag only when restore_shadows).
    void restore(bool restore_shadows = true) const;
};

} // namespace Impostors
