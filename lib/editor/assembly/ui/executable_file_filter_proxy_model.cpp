#include "editor/assembly/ui/executable_file_filter_proxy_model.h"

#include "editor/assembly/core/engine_info.h"

#include <QFileInfo>
#include <QFileSystemModel>

namespace assembly {

ExecutableFileFilterProxyModel::ExecutableFileFilterProxyModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{}

ExecutableFileFilterProxyModel::~ExecutableFileFilterProxyModel() = default;

bool ExecutableFileFilterProxyModel::acceptsEntry(const QFileInfo &entry, System system)
{
    if (entry.isDir())
        return true;
    if (!entry.isFile() || !entry.isExecutable())
        return false;
    if (system == System::Windows)
        return entry.suffix().toLower() == QLatin1String("exe");
    const QString name = entry.fileName().toLower();
    return entry.suffix().toLower() != QLatin1String("so") && !name.contains(QLatin1String(".so."));
}

bool ExecutableFileFilterProxyModel::filterAcceptsRow(int source_row, const QModelIndex &source_parent) const
{
    auto files = qobject_cast<QFileSystemModel *>(sourceModel());
    if (!files)
        return true;
    return acceptsEntry(files->fileInfo(files->index(source_row, 0, source_parent)), getCurrentSystem());
}

} // namespace assembly
