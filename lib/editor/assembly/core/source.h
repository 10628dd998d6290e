#pragma once

#include "editor/assembly/core/build_progress.h"
#include "editor/assembly/core/copy_item.h"
#include "editor/assembly/core/operation_queue.h"

namespace assembly::fp {

// Lists files the build folder must receive by appending copy items; it
// never removes or reorders items appended before it.
class Source
{
public:
    virtual ~Source() = default;
    virtual int getMaxProgress() const = 0;
    virtual bool process(const ProgressCallback &progress, post::OperationQueue &queue, CopyItems &items) = 0;
};

} // namespace assembly::fp
