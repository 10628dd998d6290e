#include "editor_core/DragAndDropDelegate.h"

#include "editor_core/AssetWidget.h"

DragAndDropDelegate::DragAndDropDelegate() = default;

DragAndDropDelegate::~DragAndDropDelegate() = default;

void DragAndDropDelegate::setGuid(const Velmora::UGUID &guid)
{
    if (widget_)
        widget_->changeGuid(guid);
}
