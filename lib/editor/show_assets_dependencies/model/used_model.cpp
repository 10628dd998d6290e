#include "editor/show_assets_dependencies/model/used_model.h"

namespace show_deps {

UsedModel::UsedModel(QObject *parent)
    : ResultModel<UsedData>(COLUMN_COUNT, parent)
{}

UsedModel::~UsedModel() = default;

QVariant UsedModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case COLUMN_ASSET:
        return tr("These Assets");
    case COLUMN_USED:
        return tr("Use These Assets");
    default:
        return QVariant();
    }
}

} // namespace show_deps
