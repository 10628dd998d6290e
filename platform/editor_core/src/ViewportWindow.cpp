#include "editor_core/ViewportWindow.h"

#include <velmora/Gui.h>
#include <velmora/Player.h>

#include <QMouseEvent>

namespace {

// Qt's button bits and the engine GUI's agree for left, right and middle.
int guiButtons(Qt::MouseButtons buttons)
{
    return int(buttons & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton));
}

} // namespace

ViewportWindow::ViewportWindow(QWidget *parent)
    : QWidget(parent)
    , gui_(Velmora::Gui::create("core/gui/"))
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    gui_->setSize(width(), height());
}

ViewportWindow::~ViewportWindow() = default;

Velmora::Ptr<Velmora::Gui> ViewportWindow::getGui() const
{
    return gui_;
}

void ViewportWindow::enterEvent(QEvent *event)
{
    QWidget::enterEvent(event);
    emit hovered();
}

void ViewportWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    gui_->setSize(width(), height());
}

void ViewportWindow::mousePressEvent(QMouseEvent *event)
{
    gui_->setMouse(event->pos().x(), event->pos().y(), guiButtons(event->buttons()));
    update();
    QWidget::mousePressEvent(event);
}

void ViewportWindow::mouseReleaseEvent(QMouseEvent *event)
{
    gui_->setMouse(event->pos().x(), event->pos().y(), guiButtons(event->buttons()));
    update();
    QWidget::mouseReleaseEvent(event);
}

void ViewportWindow::mouseMoveEvent(QMouseEvent *event)
{
    gui_->setMouse(event->pos().x(), event->pos().y(), guiButtons(event->buttons()));
    QWidget::mouseMoveEvent(event);
}

void ViewportWindow::paintGui(QPainter &painter)
{
    painted_gui_key_ = gui_->getPaintKey();
    gui_->paint(painter);
}

bool ViewportWindow::guiChanged() const
{
    return gui_->getPaintKey() != painted_gui_key_;
}
