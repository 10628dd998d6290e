#include "editor/assembly/core/impl/file_processing/cfg_file_source.h"

#include <QFileInfo>
#include <QtDebug>

namespace assembly {

CfgFileSource::CfgFileSource(const QString &exe_dir, const QString &output_dir)
    : exe_dir_(exe_dir)
    , output_dir_(output_dir)
{}

bool CfgFileSource::process(const ProgressCallback &progress, post::OperationQueue & /*queue*/, fp::CopyItems &items)
{
    const QString name = QStringLiteral("velmora.cfg");
    const QString path = exe_dir_ + name;
    if (QFileInfo(path).isFile())
        items.append(fp::CopyItem{path, output_dir_ + name});
    else
        qWarning() << "Build Tool: file not found (" << path << ").";
    return progress(1, 1);
}

} // namespace assembly
