#include "editor/show_assets_dependencies/data/used_data.h"

namespace show_deps {

UsedData::UsedData(const Editor::AssetManagerPrivate *asset_manager)
    : Data<UsedSubRow>(asset_manager)
{}

UsedData::~UsedData() = default;

void UsedData::addSubRow(int row, const Velmora::UGUID &guid)
{
    appendSubRow(row, UsedSubRow{guid, getDisplayName(assetManager(), guid)});
}

} // namespace show_deps
