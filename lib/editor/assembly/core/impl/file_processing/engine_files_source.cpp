#include "editor/assembly/core/impl/file_processing/engine_files_source.h"

#include "editor/assembly/core/path_utils.h"

#include <QFileInfo>
#include <QtDebug>

namespace assembly {

EngineFilesSource::EngineFilesSource(const QString &source_dir, const QString &output_dir, System system,
                                     Precision precision, Binary binary)
    : source_dir_(source_dir)
    , output_dir_(output_dir)
    , traits_(system, binary, precision)
{}

bool EngineFilesSource::process(const ProgressCallback &progress, post::OperationQueue & /*queue*/,
                                fp::CopyItems &items)
{
    const QString name = traits_.libraryName(engineBaseName());
    const QString path = source_dir_ + name;
    if (!QFileInfo(path).isFile()) {
        qCritical() << "Build Tool: necessary file not found (" << path << ").";
        return false;
    }
    items.append(fp::CopyItem{path, output_dir_ + name});
    return progress(1, 1);
}

} // namespace assembly
