#pragma once

#include "editor/show_assets_dependencies/data/using_this_one_data.h"
#include "editor/show_assets_dependencies/table_result_data.h"

namespace show_deps {

// The result of the "Assets Using This One" combiner.
class UsingThisOneResultData : public TableResultData<UsingThisOneData>
{
public:
    using TableResultData::TableResultData;
};

} // namespace show_deps
