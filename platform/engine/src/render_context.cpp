#include "velmora/RenderContext.h"

#include "velmora/Log.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QWindow>

#include <memory>
#include <utility>

namespace Velmora {

namespace {

RenderContext *g_current = nullptr;

} // namespace

struct RenderContext::Private
{
    QPointer<QWindow> window;
    std::unique_ptr<QBackingStore> store;
    QImage image;
    QImage last;
};

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
    return visual_ && created_ && d_ && d_->window && d_->window->handle();
}

bool RenderContext::createVisual()
{
    visual_ = true;
    return true;
}

bool RenderContext::createContext(uintptr_t handle, int width, int height)
{
    destroyContext();
    if (width <= 0 || height <= 0) {
        Log::error("RenderContext::createContext: bad size %dx%d\n", width, height);
        return false;
    }
    QWindow *found = nullptr;
    for (QWindow *window : QGuiApplication::allWindows()) {
        if (window->handle() && uintptr_t(window->winId()) == handle) {
            found = window;
            break;
        }
    }
    if (!found) {
        Log::error("RenderContext::createContext: no window with the native id %llu\n",
                   static_cast<unsigned long long>(handle));
        return false;
    }
    d_ = new Private;
    d_->window = found;
    d_->store = std::make_unique<QBackingStore>(found);
    created_ = true;
    return resizeWindow(width, height);
}

void RenderContext::destroyContext()
{
    if (g_current == this)
        g_current = nullptr;
    delete painter_;
    painter_ = nullptr;
    delete d_;
    d_ = nullptr;
    created_ = false;
}

bool RenderContext::resizeWindow(int width, int height)
{
    if (!created_ || width <= 0 || height <= 0)
        return false;
    width_ = width;
    height_ = height;
    d_->store->resize(QSize(width, height));
    return true;
}

bool RenderContext::renderWindow()
{
    if (!isReady() || painter_)
        return false;
    if (d_->image.size() != QSize(width_, height_))
        d_->image = QImage(width_, height_, QImage::Format_ARGB32_Premultiplied);
    d_->image.fill(QColor(0x19, 0x23, 0x2d));
    painter_ = new QPainter(&d_->image);
    g_current = this;
    return true;
}

bool RenderContext::swapWindow()
{
    if (!painter_)
        return false;
    delete painter_;
    painter_ = nullptr;
    if (g_current == this)
        g_current = nullptr;
    // The two images take turns: the next frame is drawn into the one shown
    // before, whose memory stays, instead of a copy of this one.
    std::swap(d_->image, d_->last);
    ++frames_;
    if (!d_->window || !d_->window->isExposed())
        return true;
    const QRect area(0, 0, width_, height_);
    d_->store->beginPaint(area);
    if (QPaintDevice *device = d_->store->paintDevice()) {
        QPainter painter(device);
        painter.drawImage(0, 0, d_->last);
    }
    d_->store->endPaint();
    d_->store->flush(area);
    return true;
}

QImage RenderContext::getLastFrame() const
{
    return d_ ? d_->last : QImage();
}

} // namespace Velmora
