#pragma once

#include "editor/tools/grab_thread_template.h"

#include <velmora/Light.h>
#include <velmora/Vector.h>

namespace Impostors {

// One layer of the lighting grab: the node lit by its own light from one
// of four fixed world directions, with the hemispherical ambient of the
// editor environment.
class GrabLightingLayerThread : public GrabThreadTemplate
{
    Q_OBJECT

public:
    GrabLightingLayerThread(const GrabParameters &grab_params, int layer, QObject *parent = nullptr);

    int getLayer() const { return layer_; }
    static const char *const ENVIRONMENT_TEXTURE;

protected:
    void setup() override;
    void cleanup() override;
    void setupViewport() override;
    void renderKind(const Velmora::Ptr<Velmora::Camera> &camera) override;

private:
    int layer_ = 0;
    Velmora::Ptr<Velmora::LightWorld> light;
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> render_nodes;
};

} // namespace Impostors
