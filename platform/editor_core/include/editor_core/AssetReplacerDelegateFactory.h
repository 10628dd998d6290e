#pragma once

#include "editor_core/DragAndDropDelegate.h"

#include <QVector>

#include <memory>

// Makes the drag-and-drop delegates that let a dropped asset replace the
// value of an AssetWidget.
class AssetReplacerDelegateFactory
{
public:
    // A delegate that accepts a drag carrying at least one asset whose type
    // is in filter (an empty filter accepts every type) and, on drop, puts
    // the first such asset's standing runtime (a model's node runtime, a
    // material's material runtime, else the asset itself) into the widget as
    // a change made by the user.
    static std::unique_ptr<DragAndDropDelegate> create(const QVector<int> &filter);
};
