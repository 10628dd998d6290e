#include "editor/show_assets_dependencies/show_assets_settings.h"

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QSet>
#include <QtDebug>

namespace show_deps {

ShowAssetsSettings::ShowAssetsSettings(const Velmora::Vector<Velmora::UGUID> &guids, bool used)
    : inas::CustomSettings(depr::g.asset_manager, depr::g.mat_manager, depr::g.prop_manager,
                           assetsToParse(depr::g.asset_manager, guids, used))
    , guids_(guids)
    , asset_presenter_(depr::g.asset_presenter)
{}

ShowAssetsSettings::~ShowAssetsSettings() = default;

Velmora::Vector<Velmora::UGUID> ShowAssetsSettings::knownGuids(const Editor::AssetManagerPrivate *asset_manager,
                                                               const Velmora::Vector<Velmora::UGUID> &guids)
{
    Velmora::Vector<Velmora::UGUID> known;
    if (!asset_manager)
        return known;
    known.reserve(guids.size());
    for (const Velmora::UGUID &guid : guids) {
        if (asset_manager->hasRuntime(guid))
            known.append(guid);
        else
            qWarning("Dependency viewer: %s is neither an asset nor a runtime; it is left out of the query",
                     guid.getString().get());
    }
    return known;
}

QVector<as::Asset> ShowAssetsSettings::assetsToParse(const Editor::AssetManagerPrivate *asset_manager,
                                                     const Velmora::Vector<Velmora::UGUID> &guids, bool used)
{
    QVector<as::Asset> assets;
    if (!asset_manager)
        return assets;
    if (!used) {
        // The manager's own list, shared: no record is copied.
        return asset_manager->assetList();
    }
    // Two runtimes of one asset, or a repeated GUID, name the asset once.
    QSet<Velmora::UGUID> listed;
    for (const Velmora::UGUID &guid : guids) {
        const as::Asset asset = asset_manager->assetByRuntimeGUID(guid);
        if (asset.isNull() || listed.contains(asset.getGUID()))
            continue;
        listed.insert(asset.getGUID());
        assets.append(asset);
    }
    return assets;
}

} // namespace show_deps
