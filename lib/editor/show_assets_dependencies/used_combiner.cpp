#include "editor/show_assets_dependencies/used_combiner.h"

#include "editor/interdependence/analyzer/output.h"
#include "editor/show_assets_dependencies/show_assets_settings.h"
#include "editor/show_assets_dependencies/used_result_data.h"

#include <editor_core/as/Presenter.h>
#include <editor_core/base/Assert.h>

#include <QtDebug>

namespace show_deps {

bool UsedCombiner::init(inas::CustomSettings *settings)
{
    const auto *show_settings = dynamic_cast<const ShowAssetsSettings *>(settings);
    EC_ASSERT(show_settings);
    iterations_ = show_settings->getGuids().size();
    return iterations_ != 0;
}

int UsedCombiner::getMaxIterations() const
{
    return iterations_;
}

void UsedCombiner::reset(inas::CustomSettings * /*settings*/)
{
    iterations_ = 0;
}

std::unique_ptr<inas::ResultData> UsedCombiner::combine(inas::CustomSettings *settings,
                                                        const inas::ProgressCallback &progress,
                                                        const inas::analyzer::Output &output)
{
    const auto *show_settings = dynamic_cast<const ShowAssetsSettings *>(settings);
    EC_ASSERT(show_settings);
    auto result = std::make_unique<UsedResultData>(show_settings->getAssetManager());
    UsedData &data = *result->data();
    const Velmora::Vector<Velmora::UGUID> &guids = show_settings->getGuids();
    for (int i = 0; i < guids.size(); ++i) {
        if (!progress(iterations_, i + 1))
            return nullptr;
        const Velmora::UGUID &guid = guids[i];
        const inas::analyzer::Item *main_item = output.item_map.value(guid);
        const Velmora::UGUID visible = as::Presenter::convertToVisible(guid);
        if (!main_item || !visible.isValid()) {
            qWarning("Dependency viewer: %s was not analysed (removed meanwhile?); it is left out",
                     guid.getString().get());
            continue;
        }
        const int row = data.addRow(visible);
        QSet<Velmora::UGUID> seen;
        const inas::parser::Item &parser_item = *main_item->getParserData();
        addDependents(parser_item, visible, row, seen, data);
        for (const Velmora::UGUID &runtime : parser_item.getDescendants()) {
            if (const inas::analyzer::Item *runtime_item = output.item_map.value(runtime))
                addDependents(*runtime_item->getParserData(), visible, row, seen, data);
        }
    }
    return result;
}

void UsedCombiner::addDependents(const inas::parser::Item &item, const Velmora::UGUID &main_guid, int row,
                                 QSet<Velmora::UGUID> &seen, UsedData &data) const
{
    for (const Velmora::UGUID &dependent : item.getDependents()) {
        const Velmora::UGUID visible = as::Presenter::convertToVisible(dependent);
        if (!visible.isValid()) {
            qWarning("Dependency viewer: %s, used by %s, is not an asset; it is not listed",
                     dependent.getString().get(), item.getId().getString().get());
            continue;
        }
        if (visible == main_guid || seen.contains(visible))
            continue;
        seen.insert(visible);
        data.addSubRow(row, visible);
    }
}

} // namespace show_deps
