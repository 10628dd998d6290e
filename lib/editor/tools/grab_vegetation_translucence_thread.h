#pragma once

#include "editor/tools/grab_thread_template.h"

#include <velmora/Light.h>
#include <velmora/Material.h>
#include <velmora/Vector.h>

namespace Impostors {

// Grabs the vegetation translucence: per view, one render lit (lights
// only) from the camera's up direction, softened by a blur of its
// luminance.
class GrabVegetationTranslucenceThread : public GrabThreadTemplate
{
    Q_OBJECT

public:
    explicit GrabVegetationTranslucenceThread(const GrabParameters &grab_params, QObject *parent = nullptr);

protected:
    void setup() override;
    void cleanup() override;
    void setupViewport() override;
    void renderKind(const Velmora::Ptr<Velmora::Camera> &camera) override;

private:
    void grabFrame();

    Velmora::Ptr<Velmora::LightWorld> light;
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> render_nodes;
    Velmora::Ptr<Velmora::Material> lighting_material;
    Velmora::Ptr<Velmora::Material> soften_material;
    Velmora::Ptr<Velmora::Texture> lit_texture;
};

} // namespace Impostors
