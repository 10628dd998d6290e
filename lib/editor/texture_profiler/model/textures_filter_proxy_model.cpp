#include "editor/texture_profiler/model/textures_filter_proxy_model.h"

#include "editor/texture_profiler/data/texture_item.h"
#include "editor/texture_profiler/model/textures_model.h"

namespace tprof {

namespace {

const TexturesModel *texturesModel(const QAbstractItemModel *model)
{
    return qobject_cast<const TexturesModel *>(model);
}

} // namespace

TexturesFilterProxyModel::TexturesFilterProxyModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{}

void TexturesFilterProxyModel::setDisplayCoreAssets(bool display)
{
    if (display_core_assets_ == display)
        return;
    display_core_assets_ = display;
    invalidateFilter();
}

void TexturesFilterProxyModel::setShowNotLoaded(bool show)
{
    if (show_not_loaded_ == show)
        return;
    show_not_loaded_ = show;
    invalidateFilter();
}

bool TexturesFilterProxyModel::filterAcceptsRow(int source_row, const QModelIndex &source_parent) const
{
    if (display_core_assets_ && show_not_loaded_)
        return true;
    const TexturesModel *model = texturesModel(sourceModel());
    const TextureItem *item = model ? model->item(model->index(source_row, 0, source_parent)) : nullptr;
    if (!item)
        return false;
    if (!display_core_assets_ && item->core)
        return false;
    return show_not_loaded_ || item->isLoaded();
}

bool TexturesFilterProxyModel::lessThan(const QModelIndex &source_left, const QModelIndex &source_right) const
{
    const TexturesModel *model = texturesModel(sourceModel());
    const TextureItem *left = model ? model->item(source_left) : nullptr;
    const TextureItem *right = model ? model->item(source_right) : nullptr;
    if (!left || !right || source_left.column() != source_right.column())
        return QSortFilterProxyModel::lessThan(source_left, source_right);
    switch (source_left.column()) {
    case TexturesModel::COLUMN_RAM:
        return left->ram_usage < right->ram_usage;
    case TexturesModel::COLUMN_VIDEO_MEMORY:
        return left->vram_usage < right->vram_usage;
    case TexturesModel::COLUMN_RESOLUTION:
        return left->pixelCount() < right->pixelCount();
    default:
        return QSortFilterProxyModel::lessThan(source_left, source_right);
    }
}

} // namespace tprof
