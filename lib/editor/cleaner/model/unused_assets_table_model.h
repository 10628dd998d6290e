#pragma once

#include "editor/cleaner/model/removal_batch.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QAbstractTableModel>
#include <QHash>

#include <functional>
#include <vector>

namespace Editor {
class AssetManagerPrivate;
}

namespace cleaner {

// The unused assets in display order: "File Name" and "Asset Type", the
// asset GUID under GUID_ROLE of every cell. Each GUID is listed once. A row
// may carry a note (an asset that could not be deleted, and why), shown as
// its tool tip and in the warning colour.
//
// Removed assets (asset_removed) leave the table together when the asset
// manager ends its batch (flushRemovals, connected to its end signal) or on
// the next pass of the event loop, whichever comes first; until then their
// rows stay but isPendingRemoval() tells them.
class UnusedAssetsTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int GUID_ROLE = Qt::UserRole + 1;

    explicit UnusedAssetsTableModel(Editor::AssetManagerPrivate *as_manager, QObject *parent = nullptr);
    ~UnusedAssetsTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Replaces the rows (a repeated GUID is listed once, at its first place).
    void setAssets(const Velmora::Vector<Velmora::UGUID> &guids);
    void clear();
    const std::vector<Velmora::UGUID> &assets() const { return rows_; }
    Velmora::UGUID guidAt(int row) const;

    // (row, 0) of the GUID's row; invalid when it is not listed.
    QModelIndex indexOf(const Velmora::UGUID &guid) const;
    // Both cells of the GUID's row; empty when it is not listed.
    QModelIndexList indexesOf(const Velmora::UGUID &guid) const;
    bool isPendingRemoval(const Velmora::UGUID &guid) const { return removals_.contains(guid); }

    // The note of a listed asset; an empty text takes it away. Replacing
    // the rows drops every note.
    void setNote(const Velmora::UGUID &guid, const QString &note);
    QString note(const Velmora::UGUID &guid) const { return notes_.value(guid); }
    // The listed assets with a note.
    int noteCount() const;

    // Takes out every row the predicate accepts, in one pass; returns how
    // many went.
    int removeIf(const std::function<bool(const Velmora::UGUID &)> &predicate);

public slots:
    void asset_changed(const Velmora::UGUID &guid);
    void asset_removed(const Velmora::UGUID &guid);
    void flushRemovals();

private:
    void reindex();
    RemovalBatch::Hooks hooks();

    Editor::AssetManagerPrivate *as_manager_;
    std::vector<Velmora::UGUID> rows_;
    QHash<Velmora::UGUID, int> row_of_;
    QHash<Velmora::UGUID, QString> notes_;
    RemovalBatch removals_;
    bool flush_queued_ = false;
};

} // namespace cleaner
