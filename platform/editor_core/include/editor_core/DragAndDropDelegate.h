#pragma once

#include <velmora/UGUID.h>

class AssetWidget;
class QMimeData;

// Decides what an AssetWidget accepts when something is dragged onto it.
// Subclasses answer whether the dragged data is acceptable and take a drop by
// handing the chosen GUID to the widget with setGuid, which counts as a
// change made by the user (the widget reports it).
class DragAndDropDelegate
{
public:
    DragAndDropDelegate();
    virtual ~DragAndDropDelegate();

    DragAndDropDelegate(const DragAndDropDelegate &) = delete;
    DragAndDropDelegate &operator=(const DragAndDropDelegate &) = delete;

    virtual bool isAcceptable(const QMimeData *data) const = 0;
    virtual void drop(const QMimeData *data) = 0;

    // Set by AssetWidget::setDragAndDropDelegate.
    void setAssetWidget(AssetWidget *widget) { widget_ = widget; }
    AssetWidget *assetWidget() const { return widget_; }

protected:
    // Does nothing while the delegate belongs to no widget.
    void setGuid(const Velmora::UGUID &guid);

private:
    AssetWidget *widget_ = nullptr;
};
