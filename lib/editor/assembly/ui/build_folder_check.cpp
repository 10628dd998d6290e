#include "editor/assembly/ui/build_folder_check.h"

#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/core/output_folder_guard.h"

#include <QtDebug>

namespace assembly {

QString BuildFolderCheck::dataFolderText()
{
    return tr("Build Folder cannot be set to the current data directory, or any of its subdirectories.\n"
              "Please choose another location.");
}

QString BuildFolderCheck::protectedFolderText(const QString &reason)
{
    return tr("Build Folder cannot be set to this folder: %1.\nPlease choose another location.").arg(reason);
}

QString BuildFolderCheck::problem(const QString &normalized_path)
{
    const QString data_dir = getDataDir();
    if (!data_dir.isEmpty() && normalized_path.startsWith(data_dir)) {
        qWarning() << "Build Tool: the build folder" << normalized_path << "lies in the data folder" << data_dir;
        return dataFolderText();
    }
    const QString refusal = OutputFolderGuard::forRunningEditor().refusal(normalized_path);
    if (!refusal.isEmpty()) {
        qWarning() << "Build Tool: the build folder" << normalized_path << "is refused:" << refusal;
        return protectedFolderText(refusal);
    }
    return QString();
}

} // namespace assembly
