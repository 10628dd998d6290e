#pragma once

#include "editor/show_assets_dependencies/table_combiner.h"
#include "editor/show_assets_dependencies/used_result_data.h"

#include <QSet>

namespace show_deps {

// "Assets Used": for each requested GUID, one main row (its asset) and as
// sub-rows every asset that the asset or one of its runtimes uses directly,
// each visible GUID once per main row, in the order the analysis met them.
// The asset itself is listed when one of its runtimes uses it (a model's
// node runtime naming its model).
class UsedCombiner : public TableCombiner<UsedResultData>
{
protected:
    void addFindings(const Velmora::UGUID &guid, const inas::parser::Item &item, int row,
                     const inas::analyzer::Output &output, UsedData &data) override;

private:
    void addDependents(const inas::parser::Item &item, int row, QSet<Velmora::UGUID> &seen, UsedData &data) const;
};

} // namespace show_deps
