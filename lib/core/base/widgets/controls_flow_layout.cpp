#include "core/base/widgets/controls_flow_layout.h"

#include <QWidget>

#include <algorithm>

namespace base {

ControlsFlowLayout::ControlsFlowLayout(QWidget *parent)
    : QLayout(parent)
{}

ControlsFlowLayout::~ControlsFlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void ControlsFlowLayout::addGap(int width)
{
    pending_gap_ += width;
}

void ControlsFlowLayout::addItem(QLayoutItem *item)
{
    entries_.append(Entry{item, pending_gap_});
    pending_gap_ = 0;
    invalidate();
}

int ControlsFlowLayout::count() const
{
    return entries_.size();
}

QLayoutItem *ControlsFlowLayout::itemAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem *ControlsFlowLayout::takeAt(int index)
{
    if (index < 0 || index >= entries_.size())
        return nullptr;
    QLayoutItem *item = entries_[index].item;
    entries_.remove(index);
    invalidate();
    return item;
}

Qt::Orientations ControlsFlowLayout::expandingDirections() const
{
    return {};
}

bool ControlsFlowLayout::hasHeightForWidth() const
{
    return true;
}

int ControlsFlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize ControlsFlowLayout::sizeHint() const
{
    const QMargins margins = contentsMargins();
    int width = 0;
    int height = 0;
    bool first = true;
    for (const Entry &entry : entries_) {
        if (entry.item->isEmpty())
            continue;
        const QSize size = entry.item->sizeHint();
        width += (first ? 0 : spacing() + entry.gap) + size.width();
        height = std::max(height, size.height());
        first = false;
    }
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

QSize ControlsFlowLayout::minimumSize() const
{
    const QMargins margins = contentsMargins();
    int width = 0;
    int height = 0;
    for (const Entry &entry : entries_) {
        if (entry.item->isEmpty())
            continue;
        width = std::max(width, entry.item->sizeHint().width());
        height = std::max(height, entry.item->sizeHint().height());
    }
    width += margins.left() + margins.right();
    height += margins.top() + margins.bottom();
    // As high as the lines the current width needs, so that what follows
    // never covers the controls.
    if (geometry().width() > 0)
        height = std::max(height, heightForWidth(std::max(width, geometry().width())));
    return QSize(width, height);
}

void ControlsFlowLayout::setGeometry(const QRect &rect)
{
    const int height = heightForWidth(rect.width());
    QLayout::setGeometry(rect);
    arrange(rect, true);
    // A new number of lines changes the height the layouts around need.
    if (height != laid_out_height_) {
        laid_out_height_ = height;
        invalidate();
    }
}

int ControlsFlowLayout::arrange(const QRect &rect, bool apply) const
{
    // Every line is as high as the highest control; the others are centred
    // on it, as in a row.
    int line_height = 0;
    for (const Entry &entry : entries_) {
        if (!entry.item->isEmpty())
            line_height = std::max(line_height, entry.item->sizeHint().height());
    }
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    bool line_start = true;
    for (const Entry &entry : entries_) {
        if (entry.item->isEmpty())
            continue;
        const QSize size = entry.item->sizeHint();
        int left = line_start ? x : x + spacing() + entry.gap;
        if (!line_start && left + size.width() > area.right() + 1) {
            y += line_height + spacing();
            left = area.x();
        }
        if (apply)
            entry.item->setGeometry(QRect(QPoint(left, y + (line_height - size.height()) / 2), size));
        x = left + size.width();
        line_start = false;
    }
    return y + line_height - rect.y() + contentsMargins().bottom();
}

} // namespace base
