#pragma once

#include "editor/tools/grab_thread_template.h"

namespace Impostors {

// Grabs the fully shaded image of the node, lit by the world's lights.
class GrabFinalThread : public GrabThreadTemplate
{
    Q_OBJECT

public:
    explicit GrabFinalThread(const GrabParameters &grab_params, QObject *parent = nullptr);

protected:
    void setupViewport() override;
    void renderKind(const Velmora::Ptr<Velmora::Camera> &camera) override;
};

} // namespace Impostors
