#pragma once

#include "editor/assembly/core/exe_provider_source.h"

#include <memory>

namespace assembly {

class BinaryLauncherFilesSource;
class ScriptLauncherFilesSource;

// Runs the executable providers (debug, then development, then release) and
// hands the executables they report to the launcher sources, which it runs
// afterwards: either one launcher program for all kinds or one script per
// kind. Every report of an inner source counts one step, capped at 10.
class ExeCombiner : public fp::Source
{
public:
    static constexpr int MAX_PROGRESS = 10;

    explicit ExeCombiner(std::unique_ptr<BinaryLauncherFilesSource> receiver_all);
    ExeCombiner(std::unique_ptr<ScriptLauncherFilesSource> receiver_release,
                std::unique_ptr<ScriptLauncherFilesSource> receiver_dev,
                std::unique_ptr<ScriptLauncherFilesSource> receiver_debug);
    ~ExeCombiner() override;

    void setReleaseExe(std::unique_ptr<ExeProviderSource> source);
    void setDevExe(std::unique_ptr<ExeProviderSource> source);
    void setDebugExe(std::unique_ptr<ExeProviderSource> source);

    int getMaxProgress() const override { return MAX_PROGRESS; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

    const ExeProviderSource *releaseExe() const { return release_exe_.get(); }
    const ExeProviderSource *devExe() const { return dev_exe_.get(); }
    const ExeProviderSource *debugExe() const { return debug_exe_.get(); }
    const ScriptLauncherFilesSource *releaseReceiver() const { return receiver_release_.get(); }
    const ScriptLauncherFilesSource *devReceiver() const { return receiver_dev_.get(); }
    const ScriptLauncherFilesSource *debugReceiver() const { return receiver_debug_.get(); }
    const BinaryLauncherFilesSource *allReceiver() const { return receiver_all_.get(); }

private:
    std::unique_ptr<ExeProviderSource> release_exe_;
    std::unique_ptr<ExeProviderSource> dev_exe_;
    std::unique_ptr<ExeProviderSource> debug_exe_;
    std::unique_ptr<ScriptLauncherFilesSource> receiver_debug_;
    std::unique_ptr<ScriptLauncherFilesSource> receiver_dev_;
    std::unique_ptr<ScriptLauncherFilesSource> receiver_release_;
    std::unique_ptr<BinaryLauncherFilesSource> receiver_all_;
};

} // namespace assembly
