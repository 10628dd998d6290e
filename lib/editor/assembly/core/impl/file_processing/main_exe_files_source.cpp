#include "editor/assembly/core/impl/file_processing/main_exe_files_source.h"

#include <editor_core/fs/FileSystem.h>

#include <QFileInfo>
#include <QtDebug>

namespace assembly {

MainExeFilesSource::MainExeFilesSource(const QString &src_file_path, const QString &output_dir)
    : src_file_path_(src_file_path)
    , output_dir_(output_dir)
{}

bool MainExeFilesSource::process(const ProgressCallback &progress, post::OperationQueue & /*queue*/,
                                 fp::CopyItems &items)
{
    if (src_file_path_.isEmpty() || !QFileInfo(src_file_path_).isFile()) {
        qCritical() << "Build Tool: The important file (" << src_file_path_ << ") doesn't exist.";
        return false;
    }
    executable_path_ = output_dir_ + ::fs::basename(src_file_path_);
    items.append(fp::CopyItem{src_file_path_, executable_path_});
    return progress(1, 1);
}

} // namespace assembly
