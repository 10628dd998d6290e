#include "editor/assembly/core/impl/pre_processing/action_combiner.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace assembly {

ActionCombiner::ActionCombiner(std::vector<std::unique_ptr<pre::Action>> actions)
    : actions_(std::move(actions))
{
    EC_ASSERT(!actions_.empty());
}

ActionCombiner::~ActionCombiner()
{
    // In list order.
    for (auto &action : actions_)
        action.reset();
}

int ActionCombiner::getMaxProgress() const
{
    int sum = 0;
    for (const auto &action : actions_) {
        EC_ASSERT(action->getMaxProgress() > 0);
        sum += action->getMaxProgress();
    }
    return sum;
}

bool ActionCombiner::execute(const ProgressCallback &outer, post::OperationQueue &queue)
{
    const int max_progress = getMaxProgress();
    int current_progress = 0;
    const ProgressCallback inner = [&](int /*max*/, int progress) {
        EC_ASSERT(current_progress + progress <= max_progress);
        return outer(max_progress, current_progress + progress);
    };
    for (const auto &action : actions_) {
        if (!action->execute(inner, queue))
            return false;
        current_progress += action->getMaxProgress();
    }
    EC_ASSERT(current_progress == max_progress);
    return true;
}

} // namespace assembly
