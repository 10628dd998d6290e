#pragma once

#include <QString>

namespace as {
class FileInfo;
}
namespace Editor {
class AssetManagerPrivate;
}

namespace cleaner {

// The key the ignore list matches for a file the asset manager knows:
// "/" followed by its data-relative path ("/screenshots/a.png").
QString ignoreKey(const Editor::AssetManagerPrivate *as_manager, const as::FileInfo &info);

} // namespace cleaner
