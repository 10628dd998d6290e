#include "editor/show_assets_dependencies/used_combiner.h"

namespace show_deps {

void UsedCombiner::addFindings(const Velmora::UGUID & /*guid*/, const inas::parser::Item &item, int row,
                               const inas::analyzer::Output &output, UsedData &data)
{
    QSet<Velmora::UGUID> seen;
    addDependents(item, row, seen, data);
    for (const Velmora::UGUID &runtime : item.getDescendants()) {
        if (const inas::analyzer::Item *runtime_item = output.item_map.value(runtime))
            addDependents(*runtime_item->getParserData(), row, seen, data);
    }
}

void UsedCombiner::addDependents(const inas::parser::Item &item, int row, QSet<Velmora::UGUID> &seen,
                                 UsedData &data) const
{
    for (const Velmora::UGUID &dependent : item.getDependents()) {
        const Velmora::UGUID visible = as::Presenter::convertToVisible(dependent);
        if (!visible.isValid()) {
            qWarning("Dependency viewer: %s, used by %s, is not an asset; it is not listed",
                     dependent.getString().get(), item.getId().getString().get());
            continue;
        }
        if (seen.contains(visible))
            continue;
        seen.insert(visible);
        data.addSubRow(row, visible);
    }
}

} // namespace show_deps
