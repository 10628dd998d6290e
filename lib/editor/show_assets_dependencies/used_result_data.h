#pragma once

#include "editor/interdependence/result_data.h"
#include "editor/show_assets_dependencies/data/used_data.h"

#include <memory>

namespace show_deps {

// The result of the "Assets Used" combiner: its table data until the viewer
// takes it.
class UsedResultData : public inas::ResultData
{
public:
    explicit UsedResultData(const Editor::AssetManagerPrivate *asset_manager);
    ~UsedResultData() override;

    // The table while the combiner fills it; null once taken.
    UsedData *data() const { return data_.get(); }
    // Hands the table out; the result is empty afterwards.
    std::unique_ptr<UsedData> takeData();

private:
    std::unique_ptr<UsedData> data_;
};

} // namespace show_deps
