#pragma once

#include "editor/assembly/core/build_progress.h"
#include "editor/assembly/core/copier.h"
#include "editor/assembly/core/pre_action.h"
#include "editor/assembly/core/source.h"

#include <memory>

namespace assembly {

// Runs one build: the pre-build action, the file source and the copier, each
// scaled into its fixed share of one 0..100 range (20, 15, 64), then the post
// operations (share 1), which run whether the stages succeeded or not.
class Executor
{
public:
    static constexpr int PRS_COMMON = 100;
    static constexpr int PRS_PRE_ACTIONS = 20;
    static constexpr int PRS_FILE_SOURCES = 15;
    static constexpr int PRS_COPIER = 64;
    static constexpr int PRS_POST_PROCESSING = 1;

    Executor(std::unique_ptr<pre::Action> pre_action, std::unique_ptr<fp::Source> file_source,
             std::unique_ptr<fp::Copier> file_copier);
    ~Executor();

    // Called once, on the job queue's worker thread. True when every stage
    // succeeded and the final report (100, 100) was answered true.
    bool execute(const ProgressCallback &progress);

private:
    std::unique_ptr<pre::Action> pre_action_;
    std::unique_ptr<fp::Source> file_source_;
    std::unique_ptr<fp::Copier> file_copier_;
};

} // namespace assembly
