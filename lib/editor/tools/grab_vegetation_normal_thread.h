#pragma once

#include "editor/tools/grab_thread_template.h"

#include <velmora/Light.h>
#include <velmora/Material.h>
#include <velmora/Vector.h>

namespace Impostors {

// Grabs the vegetation normal: per view, four renders lit (lights only)
// along the camera's +X, -X, +Y and -Y, then a pass that turns the four
// luminances into a view-space normal. For convex shapes this equals the
// geometric normal; for foliage it follows how the leaves take the light.
class GrabVegetationNormalThread : public GrabThreadTemplate
{
    Q_OBJECT

public:
    enum { NUM_LIT_TEXTURES = 4 };

    explicit GrabVegetationNormalThread(const GrabParameters &grab_params, QObject *parent = nullptr);

    // Renders of the node in the last view (tests).
    int getNumLitRenders() const { return lit_renders_; }

protected:
    void setup() override;
    void cleanup() override;
    void setupViewport() override;
    void renderKind(const Velmora::Ptr<Velmora::Camera> &camera) override;

private:
    void grabFrame();
    void composeNormal();

    Velmora::Ptr<Velmora::LightWorld> light;
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> render_nodes;
    Velmora::Ptr<Velmora::Material> lighting_material;
    Velmora::Ptr<Velmora::Material> compose_material;
    Velmora::Vector<Velmora::Ptr<Velmora::Texture>> lit_textures;
    Velmora::Ptr<Velmora::Texture> current_lit_texture;
    int lit_renders_ = 0;
};

} // namespace Impostors
