#pragma once

#include "editor/assembly/core/build_progress.h"
#include "editor/assembly/core/copy_item.h"
#include "editor/assembly/core/operation_queue.h"

namespace assembly::fp {

// Writes the listed files into the build folder.
class Copier
{
public:
    virtual ~Copier() = default;
    virtual int getMaxProgress(int item_count) const = 0;
    virtual bool copy(const ProgressCallback &progress, const CopyItems &items, post::OperationQueue &queue) = 0;
};

} // namespace assembly::fp
