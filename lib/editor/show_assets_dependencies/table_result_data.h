#pragma once

#include "editor/interdependence/result_data.h"

#include <memory>
#include <utility>

namespace Editor {
class AssetManagerPrivate;
}

namespace show_deps {

// The result of a viewer combiner: its table data (DataT, made with the
// asset manager) until the viewer takes it for the result window.
template<typename DataT>
class TableResultData : public inas::ResultData
{
public:
    explicit TableResultData(const Editor::AssetManagerPrivate *asset_manager)
        : data_(std::make_unique<DataT>(asset_manager))
    {}

    // The table while the combiner fills it; null once taken.
    DataT *data() const { return data_.get(); }
    // Hands the table out; the result is empty afterwards.
    std::unique_ptr<DataT> takeData() { return std::move(data_); }

private:
    std::unique_ptr<DataT> data_;
};

} // namespace show_deps
