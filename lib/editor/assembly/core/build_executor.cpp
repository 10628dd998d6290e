#include "editor/assembly/core/build_executor.h"

#include "editor/assembly/core/post_processing_handler.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace assembly {

Executor::Executor(std::unique_ptr<pre::Action> pre_action, std::unique_ptr<fp::Source> file_source,
                   std::unique_ptr<fp::Copier> file_copier)
    : pre_action_(std::move(pre_action))
    , file_source_(std::move(file_source))
    , file_copier_(std::move(file_copier))
{
    EC_ASSERT(pre_action_ && file_source_ && file_copier_);
}

Executor::~Executor()
{
    file_copier_.reset();
    file_source_.reset();
    pre_action_.reset();
}

bool Executor::execute(const ProgressCallback &outer)
{
    static_assert(PRS_PRE_ACTIONS + PRS_FILE_SOURCES + PRS_COPIER + PRS_POST_PROCESSING == PRS_COMMON);

    int common_progress = 0;
    int share = 0;
    int progress = 0;
    const ProgressCallback scaled = [&](int max, int value) {
        EC_ASSERT(max > 0);
        progress = share * value / max + common_progress;
        return outer(PRS_COMMON, progress);
    };

    PostProcessingHandler queue;
    bool succeeded = false;
    {
        fp::CopyItems items;
        share = PRS_PRE_ACTIONS;
        if (pre_action_->execute(scaled, queue)) {
            common_progress += PRS_PRE_ACTIONS;
            EC_ASSERT(progress == common_progress);
            share = PRS_FILE_SOURCES;
            if (file_source_->process(scaled, queue, items)) {
                common_progress += PRS_FILE_SOURCES;
                EC_ASSERT(progress == common_progress);
                share = PRS_COPIER;
                if (file_copier_->copy(scaled, items, queue)) {
                    common_progress += PRS_COPIER;
                    EC_ASSERT(progress == common_progress);
                    succeeded = true;
                }
            }
        }
    }

    queue.runOperations();
    if (!succeeded)
        return false;
    common_progress += PRS_POST_PROCESSING;
    EC_ASSERT(common_progress == PRS_COMMON);
    return outer(PRS_COMMON, PRS_COMMON);
}

} // namespace assembly
