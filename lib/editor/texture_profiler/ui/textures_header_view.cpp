#include "editor/texture_profiler/ui/textures_header_view.h"

#include <QStyleOptionHeader>

#include <algorithm>

namespace tprof {

TexturesHeaderView::TexturesHeaderView(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    // What a table's own horizontal header is.
    setSectionsClickable(true);
    setHighlightSections(true);
}

TexturesHeaderView::~TexturesHeaderView() = default;

QSize TexturesHeaderView::sectionSizeFromContents(int logical_index) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logical_index);
    if (!isSortIndicatorShown() || logical_index == sortIndicatorSection())
        return size;
    // QHeaderView adds the arrow's room (the section's height and the header
    // margin) to every section while sorting is on; without it the section
    // is as wide as the style lets its label be read whole.
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.section = logical_index;
    option.text = model() ? model()->headerData(logical_index, orientation()).toString() : QString();
    const int arrow = size.height() + style()->pixelMetric(QStyle::PM_HeaderMargin, &option, this);
    option.rect = QRect(0, 0, size.width() - arrow, size.height());
    const int label = style()->subElementRect(QStyle::SE_HeaderLabel, &option, this).width();
    const int around = option.rect.width() - label;
    const int text = fontMetrics().horizontalAdvance(option.text);
    size.setWidth(std::max({option.rect.width(), around + text, minimumSectionSize()}));
    return size;
}

} // namespace tprof
