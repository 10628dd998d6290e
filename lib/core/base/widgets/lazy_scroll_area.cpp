#include "core/base/widgets/lazy_scroll_area.h"

#include <QEvent>

namespace base {

LazyScrollArea::LazyScrollArea(QWidget *parent)
    : QScrollArea(parent)
{}

LazyScrollArea::~LazyScrollArea() = default;

void LazyScrollArea::setWidget(QWidget *widget)
{
    if (!widget || widget == this->widget())
        return;
    if (QScrollArea::widget()) {
        QScrollArea::setWidget(widget);
        return;
    }
    // As QScrollArea does, new contents replace (and delete) the old ones.
    delete pending_.data();
    pending_ = widget;
    if (widget->parentWidget() != viewport())
        widget->setParent(viewport());
}

QWidget *LazyScrollArea::widget() const
{
    return pending_ ? pending_.data() : QScrollArea::widget();
}

QSize LazyScrollArea::sizeHint() const
{
    takePending();
    return QScrollArea::sizeHint();
}

QSize LazyScrollArea::minimumSizeHint() const
{
    takePending();
    return QScrollArea::minimumSizeHint();
}

bool LazyScrollArea::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Resize:
    case QEvent::LayoutRequest:
        takePending();
        break;
    default:
        break;
    }
    return QScrollArea::event(event);
}

void LazyScrollArea::takePending() const
{
    if (!pending_)
        return;
    QWidget *contents = pending_;
    pending_ = nullptr;
    // Size hints are asked of a const area; taking the contents in is what
    // setWidget would have done before.
    const_cast<LazyScrollArea *>(this)->QScrollArea::setWidget(contents);
}

} // namespace base
