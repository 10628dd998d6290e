#include "editor/cleaner/model/unused_assets_table_model.h"

#include <editor_core/as/AssetTypes.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QColor>
#include <QTimer>

namespace cleaner {

UnusedAssetsTableModel::UnusedAssetsTableModel(Editor::AssetManagerPrivate *as_manager, QObject *parent)
    : QAbstractTableModel(parent)
    , as_manager_(as_manager)
{}

UnusedAssetsTableModel::~UnusedAssetsTableModel() = default;

int UnusedAssetsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int UnusedAssetsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

Velmora::UGUID UnusedAssetsTableModel::guidAt(int row) const
{
    return row >= 0 && row < int(rows_.size()) ? rows_[size_t(row)] : Velmora::UGUID();
}

QVariant UnusedAssetsTableModel::data(const QModelIndex &index, int role) const
{
    const Velmora::UGUID guid = index.isValid() ? guidAt(index.row()) : Velmora::UGUID();
    if (guid.isEmpty())
        return QVariant();
    if (role == GUID_ROLE)
        return QVariant::fromValue(guid);
    if (role == Qt::ToolTipRole || role == Qt::ForegroundRole) {
        const QString text = notes_.value(guid);
        if (text.isEmpty())
            return QVariant();
        return role == Qt::ToolTipRole ? QVariant(text) : QVariant(QColor(0xe0, 0xa0, 0x30));
    }
    if (role != Qt::DisplayRole || !as_manager_)
        return QVariant();
    if (index.column() == 0)
        return as_manager_->fileName(guid);
    if (index.column() == 1)
        return as::typeToPrettyString(as_manager_->assetType(guid));
    return QVariant();
}

QVariant UnusedAssetsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == 0)
        return tr("File Name");
    if (section == 1)
        return tr("Asset Type");
    return QVariant();
}

Qt::ItemFlags UnusedAssetsTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || guidAt(index.row()).isEmpty())
        return Qt::NoItemFlags;
    return QAbstractTableModel::flags(index);
}

void UnusedAssetsTableModel::setAssets(const Velmora::Vector<Velmora::UGUID> &guids)
{
    beginResetModel();
    rows_.clear();
    rows_.reserve(size_t(guids.size()));
    row_of_.clear();
    row_of_.reserve(guids.size());
    removals_.clear();
    notes_.clear();
    for (const Velmora::UGUID &guid : guids) {
        if (row_of_.contains(guid))
            continue;
        row_of_.insert(guid, int(rows_.size()));
        rows_.push_back(guid);
    }
    endResetModel();
}

void UnusedAssetsTableModel::clear()
{
    setAssets(Velmora::Vector<Velmora::UGUID>());
}

QModelIndex UnusedAssetsTableModel::indexOf(const Velmora::UGUID &guid) const
{
    const auto it = row_of_.constFind(guid);
    return it == row_of_.constEnd() ? QModelIndex() : index(it.value(), 0);
}

QModelIndexList UnusedAssetsTableModel::indexesOf(const Velmora::UGUID &guid) const
{
    const QModelIndex first = indexOf(guid);
    if (!first.isValid())
        return QModelIndexList();
    return QModelIndexList{first, index(first.row(), 1)};
}

void UnusedAssetsTableModel::setNote(const Velmora::UGUID &guid, const QString &note)
{
    const QModelIndex first = indexOf(guid);
    if (!first.isValid())
        return;
    if (note.isEmpty())
        notes_.remove(guid);
    else
        notes_.insert(guid, note);
    emit dataChanged(first, index(first.row(), columnCount() - 1), {Qt::ToolTipRole, Qt::ForegroundRole});
}

int UnusedAssetsTableModel::noteCount() const
{
    int count = 0;
    for (auto it = notes_.constBegin(); it != notes_.constEnd(); ++it)
        count += row_of_.contains(it.key()) && !removals_.contains(it.key()) ? 1 : 0;
    return count;
}

void UnusedAssetsTableModel::asset_changed(const Velmora::UGUID &guid)
{
    const QModelIndex cell = indexOf(guid);
    if (cell.isValid())
        emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void UnusedAssetsTableModel::asset_removed(const Velmora::UGUID &guid)
{
    if (!row_of_.contains(guid))
        return;
    removals_.add(guid);
    if (!flush_queued_) {
        flush_queued_ = true;
        QTimer::singleShot(0, this, &UnusedAssetsTableModel::flushRemovals);
    }
}

void UnusedAssetsTableModel::flushRemovals()
{
    flush_queued_ = false;
    if (removals_.isEmpty())
        return;
    if (removals_.apply(
                rows_, [](const Velmora::UGUID &guid) { return guid; }, hooks())
        > 0)
        reindex();
}

int UnusedAssetsTableModel::removeIf(const std::function<bool(const Velmora::UGUID &)> &predicate)
{
    RemovalBatch batch;
    for (const Velmora::UGUID &guid : rows_) {
        if (predicate(guid))
            batch.add(guid);
    }
    // Rows already reported removed go in the same pass.
    for (const Velmora::UGUID &guid : rows_) {
        if (removals_.contains(guid))
            batch.add(guid);
    }
    removals_.clear();
    const int taken = batch.apply(
            rows_, [](const Velmora::UGUID &guid) { return guid; }, hooks());
    if (taken > 0)
        reindex();
    return taken;
}

void UnusedAssetsTableModel::reindex()
{
    row_of_.clear();
    row_of_.reserve(int(rows_.size()));
    for (int row = 0; row < int(rows_.size()); ++row)
        row_of_.insert(rows_[size_t(row)], row);
}

RemovalBatch::Hooks UnusedAssetsTableModel::hooks()
{
    RemovalBatch::Hooks hooks;
    hooks.begin_remove = [this](int first, int last) { beginRemoveRows(QModelIndex(), first, last); };
    hooks.end_remove = [this] { endRemoveRows(); };
    hooks.begin_reset = [this] { beginResetModel(); };
    hooks.end_reset = [this] { endResetModel(); };
    return hooks;
}

} // namespace cleaner
