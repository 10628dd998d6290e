#include "editor/show_assets_dependencies/using_this_one_result_data.h"

#include <utility>

namespace show_deps {

UsingThisOneResultData::UsingThisOneResultData(const Editor::AssetManagerPrivate *asset_manager)
    : data_(std::make_unique<UsingThisOneData>(asset_manager))
{}

UsingThisOneResultData::~UsingThisOneResultData() = default;

std::unique_ptr<UsingThisOneData> UsingThisOneResultData::takeData()
{
    return std::move(data_);
}

} // namespace show_deps
