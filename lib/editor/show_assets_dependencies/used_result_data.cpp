#include "editor/show_assets_dependencies/used_result_data.h"

#include <utility>

namespace show_deps {

UsedResultData::UsedResultData(const Editor::AssetManagerPrivate *asset_manager)
    : data_(std::make_unique<UsedData>(asset_manager))
{}

UsedResultData::~UsedResultData() = default;

std::unique_ptr<UsedData> UsedResultData::takeData()
{
    return std::move(data_);
}

} // namespace show_deps
