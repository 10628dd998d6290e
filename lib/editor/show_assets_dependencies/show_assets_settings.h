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
// Requested GUIDs that are neither an asset nor a runtime are dropped with a
// warning (see knownGuids).
class ShowAssetsSettings : public inas::CustomSettings
{
public:
    // The registries' asset, material and property managers must be set.
    ShowAssetsSettings(const Velmora::Vector<Velmora::UGUID> &guids, bool used);
    ~ShowAssetsSettings() override;

    // The request without the dropped GUIDs, in request order (repeats kept).
    const Velmora::Vector<Velmora::UGUID> &getGuids() const { return guids_; }
    as::Presenter *getAssetPresenter() const { return asset_presenter_; }

    // The GUIDs of a request that name an asset or a runtime; each other one
    // is left out with a warning.
    static Velmora::Vector<Velmora::UGUID> knownGuids(const Editor::AssetManagerPrivate *asset_manager,
                                                      const Velmora::Vector<Velmora::UGUID> &guids);

private:
    struct Request
    {
        Velmora::Vector<Velmora::UGUID> guids;
    };
    ShowAssetsSettings(Request request, bool used);

    static QVector<as::Asset> assetsToParse(const Editor::AssetManagerPrivate *asset_manager,
                                            const Velmora::Vector<Velmora::UGUID> &guids, bool used);

    Velmora::Vector<Velmora::UGUID> guids_;
    as::Presenter *asset_presenter_ = nullptr;
};

} // namespace show_deps
