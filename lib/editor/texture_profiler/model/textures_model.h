#pragma once

#include <velmora/UGUID.h>

#include <QAbstractTableModel>

namespace tprof {

class TexturesList;
struct TextureItem;

// Table of a texture list (not owned): path, extension, main and video
// memory, format and resolution. Role GUID_ROLE of every column carries the
// row's asset GUID when it has one.
class TexturesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        COLUMN_PATH,
        COLUMN_EXTENSION,
        COLUMN_RAM,
        COLUMN_VIDEO_MEMORY,
        COLUMN_FORMAT,
        COLUMN_RESOLUTION,
        COLUMN_COUNT
    };
    static constexpr int GUID_ROLE = Qt::UserRole + 1;

    explicit TexturesModel(QObject *parent = nullptr);

    // Shows list (null: nothing), as a model reset.
    void setList(const TexturesList *list);
    const TexturesList *list() const { return list_; }

    // (row, 0) of the first item of the asset; invalid for an empty GUID,
    // no list or no such item.
    QModelIndex indexOf(const Velmora::UGUID &guid) const;
    // Announces new path and extension texts of the asset's rows.
    void assetChanged(const Velmora::UGUID &guid);
    // The item of an index of this model; null outside the list.
    const TextureItem *item(const QModelIndex &index) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    const TexturesList *list_ = nullptr;
};

} // namespace tprof
