#include "editor/cleaner/ignore_list/ignore_key.h"

#include <editor_core/as/Asset.h>
#include <editor_core/fs/FileSystem.h>

namespace cleaner {

QString ignoreKey(const Editor::AssetManagerPrivate * /*as_manager*/, const as::FileInfo &info)
{
    return QLatin1Char('/') + fs::relDataPath(info.filePath());
}

} // namespace cleaner
