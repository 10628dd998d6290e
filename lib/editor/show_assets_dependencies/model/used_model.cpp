#include "editor/show_assets_dependencies/model/used_model.h"

#include "editor/show_assets_dependencies/data/used_data.h"
#include "editor/show_assets_dependencies/model/roles.h"

#include <editor_core/base/Assert.h>

namespace show_deps {

UsedModel::UsedModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

UsedModel::~UsedModel() = default;

int UsedModel::rowCount(const QModelIndex &parent) const
{
    return (data_ && !parent.isValid()) ? data_->getNumRows() : 0;
}

int UsedModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

bool UsedModel::isValidRow(const QModelIndex &index) const
{
    return data_ && index.isValid() && index.model() == this && index.row() < data_->getNumRows();
}

QVariant UsedModel::data(const QModelIndex &index, int role) const
{
    if (!isValidRow(index) || (role != Qt::DisplayRole && role != GUID_ROLE))
        return QVariant();
    switch (index.column()) {
    case COLUMN_ASSET: {
        const UsedData::Row &row = data_->getMainRow(index.row());
        return role == Qt::DisplayRole ? QVariant(row.name) : QVariant::fromValue(row.guid);
    }
    case COLUMN_USED: {
        const UsedSubRow &sub_row = data_->getSubRow(index.row());
        return role == Qt::DisplayRole ? QVariant(sub_row.name) : QVariant::fromValue(sub_row.guid);
    }
    default:
        return QVariant();
    }
}

Qt::ItemFlags UsedModel::flags(const QModelIndex &index) const
{
    if (!isValidRow(index))
        return Qt::NoItemFlags;
    if (index.column() == COLUMN_USED && data_->getSubRow(index.row()).name.isEmpty())
        return Qt::NoItemFlags;
    return QAbstractTableModel::flags(index);
}

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

void UsedModel::resetData(const UsedData *data)
{
    beginResetModel();
    data_ = data;
    endResetModel();
}

void UsedModel::updateGuid(const Velmora::UGUID &guid)
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
