#pragma once

#include "editor/show_assets_dependencies/data/used_data.h"
#include "editor/show_assets_dependencies/table_result_data.h"

namespace show_deps {

// The result of the "Assets Used" combiner.
class UsedResultData : public TableResultData<UsedData>
{
public:
    using TableResultData::TableResultData;
};

} // namespace show_deps
