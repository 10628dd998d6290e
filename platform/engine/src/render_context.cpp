#include "velmora/RenderContext.h"

#include "velmora/Log.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QPainter>

namespace Velmora {

namespace {

RenderContext *g_current = nullptr;

const QColor BACKGROUND(0x26, 0x2b, 0x30);

} // namespace

Ptr<RenderContext> CustomApp::createContext()
{
    return Ptr<RenderContext>(new RenderContext);
}

RenderContext::~RenderContext()
{
    destroyContext();
}

RenderContext *RenderContext::getCurrent()
{
    return g_current;
}

bool RenderContext::isReady() const
{
    return created_ && visual_ && !window_.isNull();
}

int RenderContext::createVisual()
{
    visual_ = true;
    return 1;
}

int RenderContext::createContext(void *handle, int width, int height)
{
    destroyContext();
    if (!visual_ || !handle || !qGuiApp)
        return 0;
    const WId id = WId(reinterpret_cast<quintptr>(handle));
    for (QWindow *window : QGuiApplication::allWindows()) {
        // handle() is only set for windows that have a native window, and
        // asking winId() of the others would create one.
        if (window->handle() && window->winId() == id) {
            window_ = window;
            break;
        }
    }
    if (window_.isNull()) {
        Log::error("RenderContext::createContext(): no window with that handle\n");
        return 0;
    }
    store_ = new QBackingStore(window_);
    created_ = true;
    resizeWindow(width, height);
    return 1;
}

void RenderContext::destroyContext()
{
    if (g_current == this)
        g_current = nullptr;
    rendering_ = false;
    delete store_;
    store_ = nullptr;
    window_ = nullptr;
    created_ = false;
}

int RenderContext::resizeWindow(int width, int height)
{
    if (!created_)
        return 0;
    width_ = qMax(1, width);
    height_ = qMax(1, height);
    return 1;
}

int RenderContext::renderWindow()
{
    if (!isReady())
        return 0;
    if (frame_.width() != width_ || frame_.height() != height_)
        frame_ = QImage(width_, height_, QImage::Format_ARGB32_Premultiplied);
    frame_.fill(BACKGROUND);
    rendering_ = true;
    g_current = this;
    return 1;
}

void RenderContext::swapWindow()
{
    if (!rendering_)
        return;
    rendering_ = false;
    if (g_current == this)
        g_current = nullptr;
    last_frame_ = frame_;
    ++swaps_;
    if (!isReady() || !store_)
        return;
    const QRect area(0, 0, width_, height_);
    store_->resize(area.size());
    store_->beginPaint(QRegion(area));
    if (QPaintDevice *device = store_->paintDevice()) {
        QPainter painter(device);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, frame_);
    }
    store_->endPaint();
    store_->flush(QRegion(area));
}

} // namespace Velmora
