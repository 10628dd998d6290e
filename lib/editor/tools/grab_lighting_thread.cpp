#include "editor/tools/grab_lighting_thread.h"

#include "editor/tools/grab_lighting_layer_thread.h"

using namespace Velmora;

namespace Impostors {

GrabLightingThread::GrabLightingThread(const GrabParameters &grab_params, QObject *parent)
    : GrabThreadBase(parent)
    , grab_params_(grab_params)
    , layers_image(Image::create())
{}

GrabLightingThread::~GrabLightingThread()
{
    delete layer_thread_;
}

void GrabLightingThread::update()
{
    if (layer_ >= NUM_LIGHTING_LAYERS)
        return;
    if (!layer_thread_) {
        layer_thread_ = new GrabLightingLayerThread(grab_params_, layer_, this);
        connect(layer_thread_, &FrameThread::finished, this, &GrabLightingThread::onLayerFinished,
                Qt::DirectConnection);
        connect(layer_thread_, &FrameThread::progress, this, &GrabLightingThread::onLayerProgress,
                Qt::DirectConnection);
        // A refused layer (a render size the renderer cannot make) ends
        // the whole grab the same way.
        connect(layer_thread_, &FrameThread::cancelled, this, &GrabLightingThread::cancel, Qt::QueuedConnection);
    }
    layer_thread_->update();
}

void GrabLightingThread::cancel()
{
    if (cancelled_ || layer_ >= NUM_LIGHTING_LAYERS)
        return;
    cancelled_ = true;
    if (GrabLightingLayerThread *layer = layer_thread_) {
        layer_thread_ = nullptr;
        layer->disconnect(this);
        layer->cancel();
        delete layer;
    }
    layer_ = NUM_LIGHTING_LAYERS;
    stop();
    emit cancelled();
}

void GrabLightingThread::onLayerProgress(float value)
{
    Q_ASSERT_X(layer_ < NUM_LIGHTING_LAYERS, "GrabLightingThread", "layer_ < NUM_LIGHTING_LAYERS");
    emit progress((float(layer_) + value) * 0.25f);
}

void GrabLightingThread::onLayerFinished()
{
    Q_ASSERT_X(layer_thread_, "GrabLightingThread", "layer_thread_");
    Q_ASSERT_X(layer_ < NUM_LIGHTING_LAYERS, "GrabLightingThread", "layer_ < NUM_LIGHTING_LAYERS");
    if (!layer_thread_)
        return;
    const Ptr<Image> layer_image = layer_thread_->getImage();
    if (layers_image->isEmpty() && layer_image && !layer_image->isEmpty())
        layers_image->create2DArray(layer_image->getWidth(), layer_image->getHeight(), NUM_LIGHTING_LAYERS,
                                    layer_image->getFormat(), 1, true, true);
    if (layer_image && !layer_image->isEmpty())
        layers_image->copy(*layer_image, layer_);
    // Called from inside the layer job's update: delete it later.
    layer_thread_->disconnect(this);
    layer_thread_->deleteLater();
    layer_thread_ = nullptr;
    ++layer_;
    if (layer_ == NUM_LIGHTING_LAYERS) {
        stop();
        emit finished();
    }
}

} // namespace Impostors
