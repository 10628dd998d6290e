#include "editor_core/EngineAppWidget.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>

namespace {

// Engine frames carry coverage in alpha (0 on the sky); on screen they are
// opaque.
void drawOpaque(QPainter &painter, const QRect &target, const QImage &frame)
{
    if (frame.hasAlphaChannel())
        painter.drawImage(target, frame.convertToFormat(QImage::Format_RGB32));
    else
        painter.drawImage(target, frame);
}

} // namespace

EngineAppWidget::EngineAppWidget(int argc, char **argv, QWidget *parent)
    : QWidget(parent)
    , view_size_(960, 540)
{
    for (int i = 0; i < argc && argv; ++i)
        if (argv[i])
            arguments_.append(QString::fromUtf8(argv[i]));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

EngineAppWidget::~EngineAppWidget() = default;

Velmora::App *EngineAppWidget::app()
{
    return this;
}

QStringList EngineAppWidget::arguments() const
{
    return arguments_;
}

void EngineAppWidget::setViewSize(const QSize &size)
{
    view_size_ = size.expandedTo(QSize(1, 1));
}

QSize EngineAppWidget::viewSize() const
{
    return view_size_;
}

QImage EngineAppWidget::frame() const
{
    return frame_;
}

int EngineAppWidget::presentedFrames() const
{
    return presented_frames_;
}

bool EngineAppWidget::isBackgroundUpdate() const
{
    return background_update_;
}

void EngineAppWidget::setMouseButtons(int buttons)
{
    mouse_buttons_ = buttons;
}

int EngineAppWidget::getViewWidth() const
{
    return view_size_.width();
}

int EngineAppWidget::getViewHeight() const
{
    return view_size_.height();
}

void EngineAppWidget::presentFrame(const QImage &frame)
{
    ++presented_frames_;
    // The engine hands over the very picture it showed last when nothing in
    // it changed: nothing to paint again.
    if (!frame.isNull() && frame.cacheKey() == frame_.cacheKey())
        return;
    frame_ = frame;
    emit framePresented();
    if (isVisible())
        update();
}

void EngineAppWidget::requestQuit()
{
    // The normal way out: aboutToQuit runs the editor's shutdown.
    QCoreApplication::quit();
}

void EngineAppWidget::setBackgroundUpdate(bool enabled)
{
    background_update_ = enabled;
}

int EngineAppWidget::getMouseButtons() const
{
    // The engine sees the buttons held anywhere in the application (a click
    // in a script window as much as in the viewport), less those it took for
    // itself until they are released.
    return (mouse_buttons_ | int(QGuiApplication::mouseButtons())) & ~cleared_buttons_;
}

bool EngineAppWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        cleared_buttons_ &= ~int(static_cast<QMouseEvent *>(event)->button());
        if (!cleared_buttons_)
            qApp->removeEventFilter(this);
    }
    return QWidget::eventFilter(watched, event);
}

void EngineAppWidget::setDisplayWidget(QWidget *widget)
{
    display_widget_ = widget;
}

void *EngineAppWidget::getNativeHandle() const
{
    // Only a window that exists already: asking winId() would create one.
    const QWidget *shown = display_widget_ ? display_widget_->window() : window();
    return shown && shown->windowHandle() ? reinterpret_cast<void *>(shown->internalWinId()) : nullptr;
}

int EngineAppWidget::getWindowPositionX() const
{
    const QWidget *shown = display_widget_ ? display_widget_.data() : this;
    return shown->mapToGlobal(QPoint(0, 0)).x();
}

int EngineAppWidget::getWindowPositionY() const
{
    const QWidget *shown = display_widget_ ? display_widget_.data() : this;
    return shown->mapToGlobal(QPoint(0, 0)).y();
}

void EngineAppWidget::changeMouseButtons(int buttons)
{
    const int taken = int(QGuiApplication::mouseButtons()) & ~buttons;
    if (taken && !cleared_buttons_)
        qApp->installEventFilter(this);
    cleared_buttons_ |= taken;
    mouse_buttons_ &= buttons;
}

void EngineAppWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (frame_.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        drawOpaque(painter, rect(), frame_);
}
