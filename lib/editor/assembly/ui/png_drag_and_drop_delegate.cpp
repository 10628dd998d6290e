#include "editor/assembly/ui/png_drag_and_drop_delegate.h"

#include <editor_core/AssetType.h>
#include <editor_core/AssetsMimeDataHandler.h>
#include <editor_core/editor/AssetManager.h>

namespace assembly {

Velmora::UGUID PngDragAndDropDelegate::pngGuid(const QMimeData *data)
{
    if (!AssetsMimeDataHandler::supports(data))
        return Velmora::UGUID();
    const QVector<as::Asset> assets = AssetsMimeDataHandler::assets(data);
    for (const as::Asset &asset : assets) {
        if (asset.getType() != AssetType::IMAGE)
            continue;
        if (!Editor::AssetManager::assetFilePath(asset.getGUID()).toLower().endsWith(QLatin1String(".png")))
            continue;
        const Velmora::UGUID runtime = asset.findSRuntime().getGUID();
        if (!runtime.isEmpty())
            return runtime;
    }
    return Velmora::UGUID();
}

bool PngDragAndDropDelegate::isAcceptable(const QMimeData *data) const
{
    return pngGuid(data).isValid();
}

void PngDragAndDropDelegate::drop(const QMimeData *data)
{
    const Velmora::UGUID guid = pngGuid(data);
    if (guid.isValid())
        setGuid(guid);
}

} // namespace assembly
