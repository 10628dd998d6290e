#pragma once

#include "editor/assembly/core/build_progress.h"

namespace assembly::post {

// Where the stages queue their post operations.
class OperationQueue
{
public:
    virtual ~OperationQueue() = default;
    virtual void add(Operation operation) = 0;
};

} // namespace assembly::post
