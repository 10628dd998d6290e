#include "editor/assembly/models/resolutions_model.h"

namespace assembly {

ResolutionsModel::ResolutionsModel(QObject *parent)
    : QAbstractListModel(parent)
{
    registerResolutionMetaType();
}

ResolutionsModel::~ResolutionsModel() = default;

void ResolutionsModel::setResolutions(const QVector<Resolution> &resolutions)
{
    beginResetModel();
    entries_.clear();
    entries_.reserve(resolutions.size());
    for (const Resolution &resolution : resolutions)
        entries_.append(Entry{resolution, resolutionLabel(resolution), false});
    endResetModel();
}

int ResolutionsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : entries_.size();
}

bool ResolutionsModel::isEntry(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.column() == 0 && index.row() >= 0
            && index.row() < entries_.size();
}

QVariant ResolutionsModel::data(const QModelIndex &index, int role) const
{
    if (!isEntry(index))
        return QVariant();
    const Entry &entry = entries_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.label;
    case Qt::CheckStateRole:
        return entry.checked ? Qt::Checked : Qt::Unchecked;
    case RESOLUTION_ROLE:
        return QVariant::fromValue(entry.resolution);
    default:
        return QVariant();
    }
}

Qt::ItemFlags ResolutionsModel::flags(const QModelIndex &index) const
{
    if (!isEntry(index))
        return Qt::NoItemFlags;
    return QAbstractListModel::flags(index) | Qt::ItemIsUserCheckable;
}

bool ResolutionsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !isEntry(index))
        return false;
    bool is_number = false;
    const int state = value.toInt(&is_number);
    if (!is_number)
        return false;
    const bool checked = state == Qt::Checked;
    Entry &entry = entries_[index.row()];
    if (entry.checked != checked) {
        entry.checked = checked;
        emit dataChanged(index, index, {Qt::CheckStateRole});
    }
    return true;
}

int ResolutionsModel::rowOf(const Resolution &resolution) const
{
    for (int row = 0; row < entries_.size(); ++row) {
        if (entries_.at(row).resolution == resolution)
            return row;
    }
    return -1;
}

bool ResolutionsModel::isChecked(int row) const
{
    return row >= 0 && row < entries_.size() && entries_.at(row).checked;
}

} // namespace assembly
