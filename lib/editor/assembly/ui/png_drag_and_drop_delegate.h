#pragma once

#include <editor_core/DragAndDropDelegate.h>

namespace assembly {

// The banner's drop rule: the first dragged asset that is an image whose
// file is a PNG (by its name, in any letter case) and that has a runtime;
// that runtime's GUID is taken. Anything else is refused.
class PngDragAndDropDelegate : public DragAndDropDelegate
{
public:
    bool isAcceptable(const QMimeData *data) const override;
    void drop(const QMimeData *data) override;

    // The runtime GUID a drop would take; empty when the data is refused.
    static Velmora::UGUID pngGuid(const QMimeData *data);
};

} // namespace assembly
