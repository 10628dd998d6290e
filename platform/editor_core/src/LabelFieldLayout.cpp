#include "editor_core/LabelFieldLayout.h"

#include <QWidget>

namespace {

void collectWidgets(QLayoutItem *item, QList<QWidget *> &widgets)
{
    if (!item)
        return;
    if (QWidget *widget = item->widget()) {
        widgets.append(widget);
        return;
    }
    if (QLayout *layout = item->layout()) {
        for (int i = 0; i < layout->count(); ++i)
            collectWidgets(layout->itemAt(i), widgets);
    }
}

} // namespace

LabelFieldLayout::LabelFieldLayout(QWidget *parent)
    : QFormLayout(parent)
{
    setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

LabelFieldLayout::~LabelFieldLayout() = default;

int LabelFieldLayout::addLabelField(QWidget *label, QWidget *field)
{
    addRow(label, field);
    return rowCount() - 1;
}

int LabelFieldLayout::addLabelField(QWidget *label, QLayout *field)
{
    addRow(label, field);
    return rowCount() - 1;
}

int LabelFieldLayout::addFullRow(QWidget *widget)
{
    addRow(widget);
    return rowCount() - 1;
}

QList<QWidget *> LabelFieldLayout::rowWidgets(int row) const
{
    QList<QWidget *> widgets;
    if (row < 0 || row >= rowCount())
        return widgets;
    collectWidgets(itemAt(row, QFormLayout::LabelRole), widgets);
    collectWidgets(itemAt(row, QFormLayout::FieldRole), widgets);
    collectWidgets(itemAt(row, QFormLayout::SpanningRole), widgets);
    return widgets;
}

void LabelFieldLayout::setVisibleRow(int row, bool visible)
{
    const QList<QWidget *> widgets = rowWidgets(row);
    for (QWidget *widget : widgets)
        widget->setVisible(visible);
}

bool LabelFieldLayout::isVisibleRow(int row) const
{
    const QList<QWidget *> widgets = rowWidgets(row);
    for (QWidget *widget : widgets) {
        if (!widget->isHidden())
            return true;
    }
    return false;
}

int LabelFieldLayout::rowOf(QWidget *widget) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (rowWidgets(row).contains(widget))
            return row;
    }
    return -1;
}
