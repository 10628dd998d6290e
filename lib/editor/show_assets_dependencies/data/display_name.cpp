#include "editor/show_assets_dependencies/data/display_name.h"

#include <editor_core/editor/AssetManagerPrivate.h>

namespace show_deps {

QString getDisplayName(const Editor::AssetManagerPrivate *asset_manager, const Velmora::UGUID &guid)
{
    if (guid.isEmpty())
        return QString();
    const as::Runtime runtime = asset_manager->runtime(guid);
    if (!runtime.isNull() && !runtime.getName().isEmpty())
        return runtime.getName();
    const QString file_name = asset_manager->fileName(guid);
    if (!file_name.isEmpty())
        return file_name;
    return QString::fromLatin1(guid.getString().get());
}

} // namespace show_deps
