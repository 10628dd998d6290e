#include "editor/assembly/core/impl/file_processing/exe_combiner.h"

#include "editor/assembly/core/impl/file_processing/binary_launcher_files_source.h"
#include "editor/assembly/core/impl/file_processing/script_launcher_files_source.h"

#include <editor_core/base/Assert.h>

#include <QtDebug>

#include <algorithm>
#include <utility>

namespace assembly {

ExeCombiner::ExeCombiner(std::unique_ptr<BinaryLauncherFilesSource> receiver_all)
    : receiver_all_(std::move(receiver_all))
{
    EC_ASSERT(receiver_all_);
}

ExeCombiner::ExeCombiner(std::unique_ptr<ScriptLauncherFilesSource> receiver_release,
                         std::unique_ptr<ScriptLauncherFilesSource> receiver_dev,
                         std::unique_ptr<ScriptLauncherFilesSource> receiver_debug)
    : receiver_debug_(std::move(receiver_debug))
    , receiver_dev_(std::move(receiver_dev))
    , receiver_release_(std::move(receiver_release))
{
    EC_ASSERT(receiver_release_ || receiver_dev_ || receiver_debug_);
}

ExeCombiner::~ExeCombiner() = default;

void ExeCombiner::setReleaseExe(std::unique_ptr<ExeProviderSource> source)
{
    release_exe_ = std::move(source);
}

void ExeCombiner::setDevExe(std::unique_ptr<ExeProviderSource> source)
{
    dev_exe_ = std::move(source);
}

void ExeCombiner::setDebugExe(std::unique_ptr<ExeProviderSource> source)
{
    debug_exe_ = std::move(source);
}

bool ExeCombiner::process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items)
{
    EC_ASSERT(debug_exe_ || dev_exe_ || release_exe_);

    int counter = 0;
    const ProgressCallback inner = [&counter, &progress](int /*max*/, int /*value*/) {
        counter = std::min(counter + 1, MAX_PROGRESS);
        return progress(MAX_PROGRESS, counter);
    };

    QString debug_path;
    QString dev_path;
    QString release_path;
    const std::pair<ExeProviderSource *, QString *> providers[]
            = {{debug_exe_.get(), &debug_path}, {dev_exe_.get(), &dev_path}, {release_exe_.get(), &release_path}};
    for (const auto &provider : providers) {
        if (!provider.first)
            continue;
        if (!provider.first->process(inner, queue, items))
            return false;
        *provider.second = provider.first->getExecutablePath();
        if (provider.second->isEmpty()) {
            qCritical() << "Build Tool: an executable source reported no executable.";
            return false;
        }
    }

    if (receiver_all_) {
        receiver_all_->setExecutablePaths(debug_path, dev_path, release_path);
        if (!receiver_all_->process(inner, queue, items))
            return false;
    } else {
        const std::pair<ScriptLauncherFilesSource *, QString> receivers[] = {{receiver_debug_.get(), debug_path},
                                                                             {receiver_dev_.get(), dev_path},
                                                                             {receiver_release_.get(), release_path}};
        bool any = false;
        for (const auto &receiver : receivers) {
            if (!receiver.first)
                continue;
            any = true;
            receiver.first->setExecutablePath(receiver.second);
            if (!receiver.first->process(inner, queue, items))
                return false;
        }
        if (!any) {
            EC_SOFT_ASSERT(false && "ExeCombiner is not initialized");
            return false;
        }
    }
    return progress(MAX_PROGRESS, MAX_PROGRESS);
}

} // namespace assembly
