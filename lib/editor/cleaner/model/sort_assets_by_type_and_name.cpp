#include "editor/cleaner/model/sort_assets_by_type_and_name.h"

#include <editor_core/as/AssetTypes.h>
#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace cleaner {

namespace {

constexpr int TYPE_COUNT = 24;

int compareKeys(const QString &type_a, const QString &name_a, const QString &type_b, const QString &name_b)
{
    const int by_type = QString::compare(type_a, type_b, Qt::CaseSensitive);
    return by_type != 0 ? by_type : QString::compare(name_a, name_b, Qt::CaseSensitive);
}

} // namespace

SortAssetsByTypeAndName::SortAssetsByTypeAndName(const Editor::AssetManagerPrivate *as_manager)
    : as_manager_(as_manager)
{
    pretty_names_.reserve(TYPE_COUNT);
    for (int type = 0; type < TYPE_COUNT; ++type)
        pretty_names_.append(as::typeToPrettyString(type));
    EC_SOFT_ASSERT(pretty_names_[0].isEmpty());
}

QString SortAssetsByTypeAndName::prettyName(int type) const
{
    return type >= 0 && type < TYPE_COUNT ? pretty_names_[type] : pretty_names_[0];
}

bool SortAssetsByTypeAndName::operator()(const Velmora::UGUID &a, const Velmora::UGUID &b) const
{
    return compareKeys(prettyName(as_manager_->assetType(a)), as_manager_->fileName(a),
                       prettyName(as_manager_->assetType(b)), as_manager_->fileName(b))
            < 0;
}

void SortAssetsByTypeAndName::sort(Velmora::Vector<Velmora::UGUID> &guids) const
{
    struct Key
    {
        QString type;
        QString name;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(guids.size()));
    for (const Velmora::UGUID &guid : guids)
        keys.push_back({prettyName(as_manager_->assetType(guid)), as_manager_->fileName(guid)});
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&keys](int a, int b) {
        return compareKeys(keys[size_t(a)].type, keys[size_t(a)].name, keys[size_t(b)].type, keys[size_t(b)].name) < 0;
    });
    Velmora::Vector<Velmora::UGUID> sorted;
    sorted.reserve(guids.size());
    for (int index : order)
        sorted.append(guids[index]);
    guids = sorted;
}

} // namespace cleaner
