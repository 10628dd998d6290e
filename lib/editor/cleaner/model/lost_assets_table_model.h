#pragma once

#include "editor/cleaner/collector/collector_result.h"
#include "editor/cleaner/model/removal_batch.h"

#include <velmora/UGUID.h>

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace Editor {
class AssetManagerPrivate;
}

namespace cleaner {

// One lost reference: the GUID that no longer resolves, the asset whose
// file holds it and, when a node element holds it, that node.
struct LostAssetRow
{
    Velmora::UGUID lost_guid;
    Velmora::UGUID asset_guid;
    QString node_name;
    int node_id = -1;
    Velmora::UGUID node_guid;
};

// The lost references: "Lost Asset", "Asset File", "Node Name". Every cell
// carries the row's fields under the roles below. Rows of a removed asset
// leave the table together when the asset manager ends its batch, as in the
// unused table.
class LostAssetsTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        LOST_GUID_ROLE = Qt::UserRole + 1,
        ASSET_GUID_ROLE,
        NODE_NAME_ROLE,
        NODE_ID_ROLE,
        NODE_GUID_ROLE,
    };

    explicit LostAssetsTableModel(Editor::AssetManagerPrivate *as_manager, QObject *parent = nullptr);
    ~LostAssetsTableModel() override;

    // The rows of a collection's lost map: per asset, first its references
    // outside nodes, then those of each node record, in their order.
    static std::vector<LostAssetRow> rowsOf(const LostMap &lost);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setAssets(std::vector<LostAssetRow> rows);
    void clear();
    const std::vector<LostAssetRow> &rows() const { return rows_; }

    // The three cells of every row of the asset.
    QModelIndexList indexesOf(const Velmora::UGUID &asset_guid) const;

public slots:
    void asset_changed(const Velmora::UGUID &guid);
    void asset_removed(const Velmora::UGUID &guid);
    void flushRemovals();

private:
    const LostAssetRow *rowAt(const QModelIndex &index) const;

    Editor::AssetManagerPrivate *as_manager_;
    std::vector<LostAssetRow> rows_;
    // Asset GUID -> how many rows it has (for the reactions' quick "none").
    QHash<Velmora::UGUID, int> row_count_of_;
    RemovalBatch removals_;
    bool flush_queued_ = false;
};

} // namespace cleaner
