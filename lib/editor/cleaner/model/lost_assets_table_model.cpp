#include "editor/cleaner/model/lost_assets_table_model.h"

#include <editor_core/editor/AssetManagerPrivate.h>

#include <QTimer>

namespace cleaner {

LostAssetsTableModel::LostAssetsTableModel(Editor::AssetManagerPrivate *as_manager, QObject *parent)
    : QAbstractTableModel(parent)
    , as_manager_(as_manager)
{}

LostAssetsTableModel::~LostAssetsTableModel() = default;

std::vector<LostAssetRow> LostAssetsTableModel::rowsOf(const LostMap &lost)
{
    std::vector<LostAssetRow> rows;
    for (auto it = lost.constBegin(); it != lost.constEnd(); ++it) {
        for (const Velmora::UGUID &lost_guid : it.value().lost_ids) {
            LostAssetRow row;
            row.lost_guid = lost_guid;
            row.asset_guid = it.key();
            rows.push_back(row);
        }
        for (const NodeInfo &node : it.value().nodes) {
            for (const Velmora::UGUID &lost_guid : node.lost_ids_) {
                LostAssetRow row;
                row.lost_guid = lost_guid;
                row.asset_guid = it.key();
                row.node_name = QString::fromUtf8(node.name.get());
                row.node_id = node.id;
                row.node_guid = node.guid;
                rows.push_back(row);
            }
        }
    }
    return rows;
}

int LostAssetsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int LostAssetsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

const LostAssetRow *LostAssetsTableModel::rowAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(rows_.size()))
        return nullptr;
    const LostAssetRow &row = rows_[size_t(index.row())];
    return row.asset_guid.isEmpty() ? nullptr : &row;
}

QVariant LostAssetsTableModel::data(const QModelIndex &index, int role) const
{
    const LostAssetRow *row = rowAt(index);
    if (!row)
        return QVariant();
    switch (role) {
    case LOST_GUID_ROLE:
        return QVariant::fromValue(row->lost_guid);
    case ASSET_GUID_ROLE:
        return QVariant::fromValue(row->asset_guid);
    case NODE_NAME_ROLE:
        return row->node_name;
    case NODE_ID_ROLE:
        return row->node_id;
    case NODE_GUID_ROLE:
        return QVariant::fromValue(row->node_guid);
    case Qt::DisplayRole:
        if (index.column() == 0)
            return QString::fromLatin1(row->lost_guid.getString().get());
        if (index.column() == 1)
            return as_manager_ ? as_manager_->fileName(row->asset_guid) : QString();
        if (index.column() == 2)
            return row->node_name;
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant LostAssetsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("Lost Asset");
    case 1:
        return tr("Asset File");
    case 2:
        return tr("Node Name");
    default:
        return QVariant();
    }
}

Qt::ItemFlags LostAssetsTableModel::flags(const QModelIndex &index) const
{
    return rowAt(index) ? QAbstractTableModel::flags(index) : Qt::NoItemFlags;
}

void LostAssetsTableModel::setAssets(std::vector<LostAssetRow> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    row_count_of_.clear();
    for (const LostAssetRow &row : rows_)
        ++row_count_of_[row.asset_guid];
    removals_.clear();
    endResetModel();
}

void LostAssetsTableModel::clear()
{
    setAssets({});
}

QModelIndexList LostAssetsTableModel::indexesOf(const Velmora::UGUID &asset_guid) const
{
    QModelIndexList indexes;
    if (!row_count_of_.contains(asset_guid))
        return indexes;
    for (int row = 0; row < int(rows_.size()); ++row) {
        if (rows_[size_t(row)].asset_guid == asset_guid) {
            for (int column = 0; column < 3; ++column)
                indexes << index(row, column);
        }
    }
    return indexes;
}

void LostAssetsTableModel::asset_changed(const Velmora::UGUID &guid)
{
    if (!row_count_of_.contains(guid))
        return;
    for (int row = 0; row < int(rows_.size()); ++row) {
        if (rows_[size_t(row)].asset_guid == guid) {
            const QModelIndex cell = index(row, 1);
            emit dataChanged(cell, cell, {Qt::DisplayRole});
        }
    }
}

void LostAssetsTableModel::asset_removed(const Velmora::UGUID &guid)
{
    if (!row_count_of_.contains(guid))
        return;
    removals_.add(guid);
    if (!flush_queued_) {
        flush_queued_ = true;
        QTimer::singleShot(0, this, &LostAssetsTableModel::flushRemovals);
    }
}

void LostAssetsTableModel::flushRemovals()
{
    flush_queued_ = false;
    if (removals_.isEmpty())
        return;
    RemovalBatch::Hooks hooks;
    hooks.begin_remove = [this](int first, int last) { beginRemoveRows(QModelIndex(), first, last); };
    hooks.end_remove = [this] { endRemoveRows(); };
    hooks.begin_reset = [this] { beginResetModel(); };
    hooks.end_reset = [this] { endResetModel(); };
    QSet<Velmora::UGUID> gone;
    for (const LostAssetRow &row : rows_) {
        if (removals_.contains(row.asset_guid))
            gone.insert(row.asset_guid);
    }
    removals_.apply(
            rows_, [](const LostAssetRow &row) { return row.asset_guid; }, hooks);
    for (const Velmora::UGUID &guid : gone)
        row_count_of_.remove(guid);
}

} // namespace cleaner
