#pragma once

#include "editor/interdependence/combiner/driver.h"

#include <velmora/UGUID.h>

#include <QSet>

namespace inas {
namespace parser {
class Item;
}
} // namespace inas

namespace show_deps {

class UsedData;

// "Assets Used": for each requested GUID, one main row (its asset) and as
// sub-rows every asset that the asset or one of its runtimes uses directly,
// each once, in the order the analysis met them. An asset is not listed as
// using itself (a model's node runtime naming its own mesh). One progress
// step per requested GUID.
class UsedCombiner : public inas::combiner::Driver
{
public:
    // settings: a ShowAssetsSettings.
    bool init(inas::CustomSettings *settings) override;
    int getMaxIterations() const override;
    std::unique_ptr<inas::ResultData> combine(inas::CustomSettings *settings, const inas::ProgressCallback &progress,
                                              const inas::analyzer::Output &output) override;
    void reset(inas::CustomSettings *settings) override;

private:
    void addDependents(const inas::parser::Item &item, const Velmora::UGUID &main_guid, int row,
                       QSet<Velmora::UGUID> &seen, UsedData &data) const;

    int iterations_ = 0;
};

} // namespace show_deps
