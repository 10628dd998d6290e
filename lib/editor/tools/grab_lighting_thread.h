#pragma once

#include "editor/tools/grab_parameters.h"
#include "editor/tools/grab_thread_base.h"

namespace Impostors {

class GrabLightingLayerThread;

// Grabs the lighting kind: four complete layer grabs, one per light
// direction, one after the other, into the layers of a 2D-array image.
// Progress runs once from 0 to 1 over the four layers.
class GrabLightingThread : public GrabThreadBase
{
    Q_OBJECT

public:
    enum { NUM_LIGHTING_LAYERS = 4 };

    explicit GrabLightingThread(const GrabParameters &grab_params, QObject *parent = nullptr);
    ~GrabLightingThread() override;

    void update() override;
    // Cancels and deletes the running layer job; cancelled() once.
    void cancel() override;
    Velmora::Ptr<Velmora::Image> getImage() const override { return layers_image; }

    int getLayer() const { return layer_; }
    GrabLightingLayerThread *getLayerThread() const { return layer_thread_; }

private:
    void onLayerProgress(float value);
    void onLayerFinished();

    GrabParameters grab_params_;
    Velmora::Ptr<Velmora::Image> layers_image;
    int layer_ = 0;
    GrabLightingLayerThread *layer_thread_ = nullptr;
    bool cancelled_ = false;
};

} // namespace Impostors
