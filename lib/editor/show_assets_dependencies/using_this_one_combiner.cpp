#include "editor/show_assets_dependencies/using_this_one_combiner.h"

#include "editor/interdependence/analyzer/output.h"
#include "editor/interdependence/parser/items/node.h"
#include "editor/show_assets_dependencies/show_assets_settings.h"
#include "editor/show_assets_dependencies/using_this_one_result_data.h"

#include <editor_core/as/Presenter.h>
#include <editor_core/base/Assert.h>

#include <QtDebug>

#include <algorithm>

namespace show_deps {

bool UsingThisOneCombiner::init(inas::CustomSettings *settings)
{
    const auto *show_settings = dynamic_cast<const ShowAssetsSettings *>(settings);
    EC_ASSERT(show_settings);
    iterations_ = show_settings->getGuids().size();
    return iterations_ != 0;
}

int UsingThisOneCombiner::getMaxIterations() const
{
    return iterations_;
}

void UsingThisOneCombiner::reset(inas::CustomSettings * /*settings*/)
{
    iterations_ = 0;
}

std::unique_ptr<inas::ResultData> UsingThisOneCombiner::combine(inas::CustomSettings *settings,
                                                                const inas::ProgressCallback &progress,
                                                                const inas::analyzer::Output &output)
{
    const auto *show_settings = dynamic_cast<const ShowAssetsSettings *>(settings);
    EC_ASSERT(show_settings);
    auto result = std::make_unique<UsingThisOneResultData>(show_settings->getAssetManager());
    UsingThisOneData &data = *result->data();
    const Velmora::Vector<Velmora::UGUID> &guids = show_settings->getGuids();

    // Every requested GUID and the runtimes of its asset are looked for.
    QSet<Velmora::UGUID> targets;
    for (const Velmora::UGUID &guid : guids) {
        targets.insert(guid);
        if (const inas::analyzer::Item *item = output.item_map.value(guid)) {
            for (const Velmora::UGUID &runtime : item->getParserData()->getDescendants())
                targets.insert(runtime);
        }
    }
    const QHash<Velmora::UGUID, Users> users = findUsers(output, targets);
    const Users none;

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
        RowState state;
        state.main_guid = visible;
        state.row = data.addRow(visible);
        collectUsers(guid, users.value(guid, none), state, data);
        for (const Velmora::UGUID &runtime : main_item->getParserData()->getDescendants())
            collectUsers(runtime, users.value(runtime, none), state, data);
    }
    return result;
}

QHash<Velmora::UGUID, UsingThisOneCombiner::Users>
UsingThisOneCombiner::findUsers(const inas::analyzer::Output &output, const QSet<Velmora::UGUID> &targets) const
{
    QHash<Velmora::UGUID, Users> users;
    for (const inas::analyzer::ItemMap::Entry &entry : output.item_map) {
        for (const Velmora::UGUID &dependent : entry.data->getParserData()->getDependents()) {
            if (targets.contains(dependent))
                users[dependent].push_back(&entry);
        }
    }
    return users;
}

void UsingThisOneCombiner::collectUsers(const Velmora::UGUID &target, const Users &users, RowState &state,
                                        UsingThisOneData &data) const
{
    for (const inas::analyzer::ItemMap::Entry *entry : users) {
        if (entry->key == target)
            continue;
        const inas::parser::Item &item = *entry->data->getParserData();
        EC_ASSERT(entry->key == item.getId());
        if (!item.getDependents().contains(target))
            continue;
        const Velmora::UGUID visible = as::Presenter::convertToVisible(item.getId());
        if (!visible.isValid()) {
            qWarning("Dependency viewer: the user %s of %s is not an asset; it is not listed",
                     item.getId().getString().get(), target.getString().get());
            continue;
        }
        if (visible == state.main_guid)
            continue;

        auto addWholeAsset = [&] {
            if (state.seen_assets.contains(visible))
                return;
            state.seen_assets.insert(visible);
            data.addSubRow(state.row, visible, QString(), UsingThisOneData::WHOLE_ASSET);
        };
        const auto *node = dynamic_cast<const inas::parser::items::Node *>(&item);
        if (!node) {
            addWholeAsset();
            continue;
        }
        const std::vector<inas::parser::NodeRecord> &records = node->getNodeRecords();
        const bool in_nodes = std::any_of(records.begin(), records.end(), [&](const inas::parser::NodeRecord &r) {
            return r.dependents.contains(target);
        });
        // A use that no node element holds (the root, or one the analysis
        // derived from where files lie) is a use by the whole asset.
        if (node->getRootDependents().contains(target) || !in_nodes)
            addWholeAsset();
        for (const inas::parser::NodeRecord &record : records) {
            if (!record.dependents.contains(target))
                continue;
            const QString name = QString::fromUtf8(record.name.get(), record.name.size());
            if (state.seen_nodes.insert(std::make_tuple(visible, name, record.id)).second)
                data.addSubRow(state.row, visible, name, record.id);
        }
    }
}

} // namespace show_deps
