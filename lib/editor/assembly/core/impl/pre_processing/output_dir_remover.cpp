#include "editor/assembly/core/impl/pre_processing/output_dir_remover.h"

namespace assembly {

OutputDirRemover::OutputDirRemover(const QString &path)
    : OutputDirRemover(path, OutputFolderGuard::forRunningEditor())
{}

OutputDirRemover::OutputDirRemover(const QString &path, const OutputFolderGuard &guard)
    : path_(path)
    , guard_(guard)
{}

bool OutputDirRemover::execute(const ProgressCallback &progress, post::OperationQueue & /*queue*/)
{
    if (!guard_.clear(path_))
        return false;
    return progress(1, 1);
}

} // namespace assembly
