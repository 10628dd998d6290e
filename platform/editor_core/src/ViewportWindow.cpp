#include "editor_core/ViewportWindow.h"

#include <velmora/Gui.h>
#include <velmora/Player.h>

ViewportWindow::ViewportWindow(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

ViewportWindow::~ViewportWindow() = default;

Velmora::Ptr<Velmora::Gui> ViewportWindow::getGui() const
{
    // Viewports have no engine GUI of their own yet.
    return Velmora::Ptr<Velmora::Gui>();
}

void ViewportWindow::enterEvent(QEvent *event)
{
    QWidget::enterEvent(event);
    emit hovered();
}
