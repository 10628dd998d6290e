#include "editor/show_assets_dependencies/using_this_one_combiner.h"

#include "core/base/parallel_for.h"
#include "editor/interdependence/parser/items/node.h"

#include <algorithm>

namespace show_deps {

namespace {

// Items searched per thread at least: below that one thread searches all.
constexpr size_t ITEMS_PER_SEARCH_THREAD = 8192;
// How many items ahead the search fetches an item's set.
constexpr size_t PREFETCH_DISTANCE = 8;

} // namespace

void UsingThisOneCombiner::prepare(const inas::analyzer::Output &output, const Velmora::Vector<Velmora::UGUID> &guids)
{
    // Every requested GUID and the runtimes of its asset are looked for.
    QSet<Velmora::UGUID> targets;
    for (const Velmora::UGUID &guid : guids) {
        targets.insert(guid);
        if (const inas::analyzer::Item *item = output.item_map.value(guid)) {
            for (const Velmora::UGUID &runtime : item->getParserData()->getDescendants())
                targets.insert(runtime);
        }
    }
    users_ = findUsers(output, targets);
}

void UsingThisOneCombiner::reset(inas::CustomSettings *settings)
{
    users_.clear();
    TableCombiner::reset(settings);
}

void UsingThisOneCombiner::addFindings(const Velmora::UGUID &guid, const inas::parser::Item &item, int row,
                                       const inas::analyzer::Output & /*output*/, UsingThisOneData &data)
{
    RowState state;
    state.row = row;
    collectUsers(guid, state, data);
    for (const Velmora::UGUID &runtime : item.getDescendants())
        collectUsers(runtime, state, data);
}

QHash<Velmora::UGUID, UsingThisOneCombiner::Users>
UsingThisOneCombiner::findUsers(const inas::analyzer::Output &output, const QSet<Velmora::UGUID> &targets) const
{
    // The map is walked in consecutive parts on several threads, each
    // keeping its finds in map order; joined in part order, the lists are in
    // map order too.
    using Find = std::pair<const Velmora::UGUID *, const inas::analyzer::ItemMap::Entry *>;
    const size_t count = size_t(output.item_map.size());
    const int chunks = base::ParallelFor::chunks(count, ITEMS_PER_SEARCH_THREAD);
    std::vector<std::vector<Find>> finds(static_cast<size_t>(chunks));
    const auto first = output.item_map.begin();
    base::ParallelFor::run(count, chunks, [&](int chunk, size_t begin, size_t end) {
        std::vector<Find> &found = finds[size_t(chunk)];
        for (size_t i = begin; i < end; ++i) {
            // The items and their sets lie apart in memory: a set is
            // fetched some items ahead of its turn, its item twice as far.
            if (i + 2 * PREFETCH_DISTANCE < end)
                __builtin_prefetch((first + std::ptrdiff_t(i + 2 * PREFETCH_DISTANCE))->data->getParserData().get());
            if (i + PREFETCH_DISTANCE < end)
                __builtin_prefetch((first + std::ptrdiff_t(i + PREFETCH_DISTANCE))
                                           ->data->getParserData()
                                           ->getDependents()
                                           .begin());
            const auto entry = first + std::ptrdiff_t(i);
            for (const Velmora::UGUID &dependent : entry->data->getParserData()->getDependents()) {
                if (targets.contains(dependent))
                    found.emplace_back(&dependent, &*entry);
            }
        }
    });
    QHash<Velmora::UGUID, Users> users;
    for (const std::vector<Find> &found : finds) {
        for (const Find &find : found)
            users[*find.first].push_back(find.second);
    }
    return users;
}

void UsingThisOneCombiner::collectUsers(const Velmora::UGUID &target, RowState &state, UsingThisOneData &data) const
{
    const auto found = users_.constFind(target);
    if (found == users_.constEnd())
        return;
    for (const inas::analyzer::ItemMap::Entry *entry : found.value()) {
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
