#pragma once

#include "editor/interdependence/custom_settings.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

namespace as {
class Presenter;
}

namespace show_deps {

// The inputs of one viewer query, taken from the editor's registries: the
// requested GUIDs and the assets to parse. "Assets Used" parses only the
// requested assets (each once), "Assets Using This One" every asset.
// The request is taken as it is: the entry points filter it with knownGuids
// first. A GUID that names no asset is not parsed, and the combiners leave
// it out with a warning.
class ShowAssetsSettings : public inas::CustomSettings
{
public:
    // The registries' asset, material and property managers must be set.
    ShowAssetsSettings(const Velmora::Vector<Velmora::UGUID> &guids, bool used);
    ~ShowAssetsSettings() override;

    // The request, in request order (repeats kept).
    const Velmora::Vector<Velmora::UGUID> &getGuids() const { return guids_; }
    as::Presenter *getAssetPresenter() const { return asset_presenter_; }

    // The GUIDs of a request that name an asset or a runtime; each other one
    // is left out with a warning.
    static Velmora::Vector<Velmora::UGUID> knownGuids(const Editor::AssetManagerPrivate *asset_manager,
                                                      const Velmora::Vector<Velmora::UGUID> &guids);

private:
    static QVector<as::Asset> assetsToParse(const Editor::AssetManagerPrivate *asset_manager,
                                            const Velmora::Vector<Velmora::UGUID> &guids, bool used);

    Velmora::Vector<Velmora::UGUID> guids_;
    as::Presenter *asset_presenter_ = nullptr;
};

} // namespace show_deps
