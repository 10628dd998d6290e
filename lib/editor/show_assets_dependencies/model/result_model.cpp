#include "editor/show_assets_dependencies/model/result_model.h"

#include "editor/show_assets_dependencies/data/used_data.h"
#include "editor/show_assets_dependencies/data/using_this_one_data.h"
#include "editor/show_assets_dependencies/model/roles.h"

#include <editor_core/base/Assert.h>

namespace show_deps {

namespace {
const int MAIN_ROW_COLUMN = 0;
const int SUB_ROW_COLUMN = 1;
} // namespace

template<typename DataT>
ResultModel<DataT>::ResultModel(int column_count, QObject *parent)
    : QAbstractTableModel(parent)
    , column_count_(column_count)
{}

template<typename DataT>
int ResultModel<DataT>::rowCount(const QModelIndex &parent) const
{
    return (data_ && !parent.isValid()) ? data_->getNumRows() : 0;
}

template<typename DataT>
int ResultModel<DataT>::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : column_count_;
}

template<typename DataT>
bool ResultModel<DataT>::isValidRow(const QModelIndex &index) const
{
    return data_ && index.isValid() && index.model() == this && index.row() < data_->getNumRows();
}

template<typename DataT>
QVariant ResultModel<DataT>::data(const QModelIndex &index, int role) const
{
    if (!isValidRow(index) || (role != Qt::DisplayRole && role != GUID_ROLE))
        return QVariant();
    switch (index.column()) {
    case MAIN_ROW_COLUMN: {
        const auto &row = data_->getMainRow(index.row());
        return role == Qt::DisplayRole ? QVariant(row.name) : QVariant::fromValue(row.guid);
    }
    case SUB_ROW_COLUMN: {
        const auto &sub_row = data_->getSubRow(index.row());
        return role == Qt::DisplayRole ? QVariant(sub_row.name) : QVariant::fromValue(sub_row.guid);
    }
    default:
        return QVariant();
    }
}

template<typename DataT>
Qt::ItemFlags ResultModel<DataT>::flags(const QModelIndex &index) const
{
    if (!isValidRow(index))
        return Qt::NoItemFlags;
    if (index.column() == SUB_ROW_COLUMN && data_->getSubRow(index.row()).name.isEmpty())
        return Qt::NoItemFlags;
    return QAbstractTableModel::flags(index);
}

template<typename DataT>
void ResultModel<DataT>::resetData(const DataT *data)
{
    beginResetModel();
    data_ = data;
    endResetModel();
}

template<typename DataT>
void ResultModel<DataT>::updateGuid(const Velmora::UGUID &guid)
{
    if (!data_ || guid.isEmpty())
        return;
    for (int row = 0; row < data_->getNumRows(); ++row) {
        if (data_->getMainRow(row).guid != guid && data_->getSubRow(row).guid != guid)
            continue;
        const QModelIndex left = index(row, 0);
        const QModelIndex right = index(row, column_count_ - 1);
        EC_ASSERT(left.isValid() && right.isValid());
        emit dataChanged(left, right, {Qt::DisplayRole});
    }
}

template class ResultModel<UsedData>;
template class ResultModel<UsingThisOneData>;

} // namespace show_deps
