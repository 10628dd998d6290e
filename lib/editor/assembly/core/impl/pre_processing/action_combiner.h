#pragma once

#include "editor/assembly/core/pre_action.h"

#include <memory>
#include <vector>

namespace assembly {

// Runs its actions in order as one pre-build action: its range is the sum of
// theirs, and each action's reports are shifted by the ranges of the actions
// before it. Stops at the first action that fails or is cancelled.
class ActionCombiner : public pre::Action
{
public:
    explicit ActionCombiner(std::vector<std::unique_ptr<pre::Action>> actions);
    ~ActionCombiner() override;

    int getMaxProgress() const override;
    bool execute(const ProgressCallback &progress, post::OperationQueue &queue) override;

    int count() const { return int(actions_.size()); }
    const pre::Action *action(int index) const { return actions_.at(size_t(index)).get(); }

private:
    std::vector<std::unique_ptr<pre::Action>> actions_;
};

} // namespace assembly
