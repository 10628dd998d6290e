#include "editor/show_assets_dependencies/model/using_this_one_model.h"

#include "editor/show_assets_dependencies/data/using_this_one_data.h"
#include "editor/show_assets_dependencies/model/roles.h"

#include <editor_core/base/Assert.h>

namespace show_deps {

UsingThisOneModel::UsingThisOneModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

UsingThisOneModel::~UsingThisOneModel() = default;

int UsingThisOneModel::rowCount(const QModelIndex &parent) const
{
    return (data_ && !parent.isValid()) ? data_->getNumRows() : 0;
}

int UsingThisOneModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

bool UsingThisOneModel::isValidRow(const QModelIndex &index) const
{
    return data_ && index.isValid() && index.model() == this && index.row() < data_->getNumRows();
}

QVariant UsingThisOneModel::data(const QModelIndex &index, int role) const
{
    if (!isValidRow(index))
        return QVariant();
    if (index.column() == COLUMN_ASSET) {
        const UsingThisOneData::Row &row = data_->getMainRow(index.row());
        if (role == Qt::DisplayRole)
            return row.name;
        return role == GUID_ROLE ? QVariant::fromValue(row.guid) : QVariant();
    }
    const UsingThisOneSubRow &sub_row = data_->getSubRow(index.row());
    if (index.column() == COLUMN_USER) {
        if (role == Qt::DisplayRole)
            return sub_row.name;
        return role == GUID_ROLE ? QVariant::fromValue(sub_row.guid) : QVariant();
    }
    if (index.column() == COLUMN_NODE) {
        if (role == Qt::DisplayRole)
            return sub_row.text;
        if (role == GUID_ROLE)
            return QVariant::fromValue(sub_row.guid);
        return role == NODE_ID_ROLE ? QVariant(sub_row.id) : QVariant();
    }
    return QVariant();
}

Qt::ItemFlags UsingThisOneModel::flags(const QModelIndex &index) const
{
    if (!isValidRow(index))
        return Qt::NoItemFlags;
    const UsingThisOneSubRow &sub_row = data_->getSubRow(index.row());
    if (index.column() == COLUMN_USER && sub_row.name.isEmpty())
        return Qt::NoItemFlags;
    if (index.column() == COLUMN_NODE && sub_row.text.isEmpty())
        return Qt::NoItemFlags;
    return QAbstractTableModel::flags(index);
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

void UsingThisOneModel::resetData(const UsingThisOneData *data)
{
    beginResetModel();
    data_ = data;
    endResetModel();
}

void UsingThisOneModel::updateGuid(const Velmora::UGUID &guid)
{
    if (!data_ || guid.isEmpty())
        return;
    for (int row = 0; row < data_->getNumRows(); ++row) {
        if (data_->getMainRow(row).guid != guid && data_->getSubRow(row).guid != guid)
            continue;
        const QModelIndex left = index(row, 0);
        const QModelIndex right = index(row, COLUMN_COUNT - 1);
        EC_ASSERT(left.isValid() && right.isValid());
        emit dataChanged(left, right, {Qt::DisplayRole});
    }
}

} // namespace show_deps
