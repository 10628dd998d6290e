#pragma once

#include "editor/assembly/core/output_folder_guard.h"
#include "editor/assembly/core/pre_action.h"

#include <QString>

namespace assembly {

// Empties the build folder (creating it when missing) through the output
// folder guard, which refuses folders that must never be cleared.
class OutputDirRemover : public pre::Action
{
public:
    // Guarded by the running editor's protections.
    explicit OutputDirRemover(const QString &path);
    OutputDirRemover(const QString &path, const OutputFolderGuard &guard);

    int getMaxProgress() const override { return 1; }
    bool execute(const ProgressCallback &progress, post::OperationQueue &queue) override;

    QString path() const { return path_; }

private:
    QString path_;
    OutputFolderGuard guard_;
};

} // namespace assembly
