#pragma once

#include <velmora/UGUID.h>

#include <QString>

namespace Editor {
class AssetManagerPrivate;
}

namespace show_deps {

// The name under which the viewer shows a GUID: its runtime's name, else its
// file name, else (an asset that vanished meanwhile) its GUID text. Empty
// for the empty GUID.
QString getDisplayName(const Editor::AssetManagerPrivate *asset_manager, const Velmora::UGUID &guid);

} // namespace show_deps
