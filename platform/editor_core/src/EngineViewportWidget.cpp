#include "editor_core/EngineViewportWidget.h"

#include "editor_core/EngineAppWidget.h"
#include "editor_core/editor/WindowManager.h"

#include "OpaqueFrame.h"

#include <QMouseEvent>
#include <QPainter>

EngineViewportWidget::EngineViewportWidget(EngineAppWidget *app_widget, QWidget *parent)
    : QWidget(parent)
    , app_widget_(app_widget)
    , opaque_(std::make_unique<OpaqueFrame>())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(64, 48);
    if (app_widget_) {
        connect(app_widget_, &EngineAppWidget::framePresented, this, &EngineViewportWidget::onFramePresented);
        app_widget_->setDisplayWidget(this);
    }
}

EngineViewportWidget::~EngineViewportWidget() = default;

EngineAppWidget *EngineViewportWidget::appWidget() const
{
    return app_widget_;
}

void EngineViewportWidget::handleShow()
{
    presenting_ = true;
    Editor::WindowManager::show(this);
}

void EngineViewportWidget::handleHide(QWidget *widget)
{
    if (widget == this)
        presenting_ = false;
}

bool EngineViewportWidget::isPresenting() const
{
    return presenting_;
}

int EngineViewportWidget::paintedFrames() const
{
    return painted_frames_;
}

void EngineViewportWidget::onFramePresented()
{
    if (presenting_ && isVisible())
        update();
}

void EngineViewportWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage frame = app_widget_ ? app_widget_->frame() : QImage();
    if (frame.isNull()) {
        painter.fillRect(rect(), QColor(40, 40, 44));
        return;
    }
    opaque_->draw(painter, rect(), frame);
    ++painted_frames_;
}

void EngineViewportWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The engine renders its main view at the size it is shown at.
    if (app_widget_)
        app_widget_->setViewSize(size());
}

void EngineViewportWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    presenting_ = true;
    if (app_widget_)
        app_widget_->setViewSize(size());
}

void EngineViewportWidget::mousePressEvent(QMouseEvent *event)
{
    if (app_widget_)
        app_widget_->setMouseButtons(int(event->buttons()));
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

void EngineViewportWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (app_widget_)
        app_widget_->setMouseButtons(int(event->buttons()));
    QWidget::mouseReleaseEvent(event);
}
