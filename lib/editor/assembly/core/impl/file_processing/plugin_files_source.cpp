#include "editor/assembly/core/impl/file_processing/plugin_files_source.h"

#include <QFileInfo>
#include <QtDebug>

namespace assembly {

PluginFilesSource::PluginFilesSource(const QString &bin_dir, const QString &output_dir, const QStringList &plugins,
                                     System system, Precision precision, Binary binary)
    : bin_dir_(bin_dir)
    , output_dir_(output_dir)
    , plugins_(plugins)
    , traits_(system, binary, precision)
{}

bool PluginFilesSource::process(const ProgressCallback &progress, post::OperationQueue & /*queue*/,
                                fp::CopyItems &items)
{
    for (const QString &plugin : plugins_) {
        const QString name = traits_.libraryName(plugin);
        const QString path = bin_dir_ + name;
        if (!name.isEmpty() && QFileInfo(path).isFile())
            items.append(fp::CopyItem{path, output_dir_ + name});
        else
            qWarning() << "Build Tool: plugin file not found (" << path << ").";
    }
    return progress(1, 1);
}

} // namespace assembly
