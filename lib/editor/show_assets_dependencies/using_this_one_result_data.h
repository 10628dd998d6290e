#pragma once

#include "editor/interdependence/result_data.h"
#include "editor/show_assets_dependencies/data/using_this_one_data.h"

#include <memory>

namespace show_deps {

// The result of the "Assets Using This One" combiner: its table data until
// the viewer takes it.
class UsingThisOneResultData : public inas::ResultData
{
public:
    explicit UsingThisOneResultData(const Editor::AssetManagerPrivate *asset_manager);
    ~UsingThisOneResultData() override;

    // The table while the combiner fills it; null once taken.
    UsingThisOneData *data() const { return data_.get(); }
    // Hands the table out; the result is empty afterwards.
    std::unique_ptr<UsingThisOneData> takeData();

private:
    std::unique_ptr<UsingThisOneData> data_;
};

} // namespace show_deps
