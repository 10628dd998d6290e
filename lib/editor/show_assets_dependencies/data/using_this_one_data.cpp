#include "editor/show_assets_dependencies/data/using_this_one_data.h"

namespace show_deps {

UsingThisOneData::UsingThisOneData(const Editor::AssetManagerPrivate *asset_manager)
    : Data<UsingThisOneSubRow>(asset_manager)
{}

UsingThisOneData::~UsingThisOneData() = default;

void UsingThisOneData::addSubRow(int row, const Velmora::UGUID &guid, const QString &text, int id)
{
    appendSubRow(row, UsingThisOneSubRow{guid, getDisplayName(assetManager(), guid), text, id});
}

} // namespace show_deps
