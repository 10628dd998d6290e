#include "editor/show_assets_dependencies/model/using_this_one_model.h"

#include "editor/show_assets_dependencies/data/using_this_one_data.h"
#include "editor/show_assets_dependencies/model/roles.h"

namespace show_deps {

UsingThisOneModel::UsingThisOneModel(QObject *parent)
    : ResultModel<UsingThisOneData>(COLUMN_COUNT, parent)
{}

UsingThisOneModel::~UsingThisOneModel() = default;

QVariant UsingThisOneModel::data(const QModelIndex &index, int role) const
{
    if (!isValidRow(index) || index.column() != COLUMN_NODE)
        return ResultModel::data(index, role);
    const UsingThisOneSubRow &sub_row = tableData()->getSubRow(index.row());
    if (role == Qt::DisplayRole)
        return sub_row.text;
    if (role == GUID_ROLE)
        return QVariant::fromValue(sub_row.guid);
    return role == NODE_ID_ROLE ? QVariant(sub_row.id) : QVariant();
}

Qt::ItemFlags UsingThisOneModel::flags(const QModelIndex &index) const
{
    if (isValidRow(index) && index.column() == COLUMN_NODE && tableData()->getSubRow(index.row()).text.isEmpty())
        return Qt::NoItemFlags;
    return ResultModel::flags(index);
}

QVariant UsingThisOneModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case COLUMN_ASSET:
        return tr("These Assets");
    case COLUMN_USER:
        return tr("Are Used In These Assets");
    case COLUMN_NODE:
        return tr("Are Used In These Nodes");
    default:
        return QVariant();
    }
}

} // namespace show_deps
