#pragma once

#include "editor/assembly/core/pre_action.h"

namespace cs {
class Manager;
}

namespace assembly {

// Writes the C# component manager's pending state before files are gathered.
class CSBuilder : public pre::Action
{
public:
    explicit CSBuilder(cs::Manager *manager);

    int getMaxProgress() const override { return 1; }
    bool execute(const ProgressCallback &progress, post::OperationQueue &queue) override;

private:
    cs::Manager *manager_ = nullptr;
};

} // namespace assembly
