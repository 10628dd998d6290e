#include "editor_core/WidgetGui.h"

#include <velmora/Gui.h>

#include <QMouseEvent>
#include <QPainter>

WidgetGui::WidgetGui(QWidget *parent, const char *skin)
    : QWidget(parent)
    , gui_(Velmora::Gui::create(skin))
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    if (gui_)
        gui_->setSize(width(), height());
}

WidgetGui::~WidgetGui() = default;

Velmora::Ptr<Velmora::Gui> WidgetGui::gui() const
{
    return gui_;
}

bool WidgetGui::hasGuiFocus() const
{
    return focused_;
}

int WidgetGui::getMouseButtons() const
{
    return mouse_buttons_;
}

void WidgetGui::focusInEvent(QFocusEvent *event)
{
    focused_ = true;
    QWidget::focusInEvent(event);
}

void WidgetGui::focusOutEvent(QFocusEvent *event)
{
    focused_ = false;
    mouse_buttons_ = 0;
    QWidget::focusOutEvent(event);
}

void WidgetGui::mousePressEvent(QMouseEvent *event)
{
    mouse_buttons_ = int(event->buttons());
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

void WidgetGui::mouseReleaseEvent(QMouseEvent *event)
{
    mouse_buttons_ = int(event->buttons());
    QWidget::mouseReleaseEvent(event);
}

void WidgetGui::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (gui_)
        gui_->setSize(width(), height());
}

void WidgetGui::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
}
