#pragma once

#include "editor/assembly/core/build_progress.h"
#include "editor/assembly/core/operation_queue.h"

namespace assembly::pre {

// A step that prepares the editor and the build folder before any file is
// gathered. getMaxProgress() > 0 is the number of steps execute() reports;
// a successful execute() ends with a report of (max, max).
class Action
{
public:
    virtual ~Action() = default;
    virtual int getMaxProgress() const = 0;
    virtual bool execute(const ProgressCallback &progress, post::OperationQueue &queue) = 0;
};

} // namespace assembly::pre
