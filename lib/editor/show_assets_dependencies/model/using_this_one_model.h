#pragma once

#include <velmora/UGUID.h>

#include <QAbstractTableModel>

namespace show_deps {

class UsingThisOneData;

// The table of an "Assets Using This One" window: one row per sub-row,
// column 0 the main row's asset, column 1 an asset that uses it, column 2 the
// node of that asset that uses it (empty for a use by the whole asset).
// Cells give their GUID at GUID_ROLE, node cells their node id at
// NODE_ID_ROLE. The model never changes the data; the window changes it and
// then calls resetData (new row structure) or updateGuid (new names).
class UsingThisOneModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        COLUMN_ASSET = 0,
        COLUMN_USER = 1,
        COLUMN_NODE = 2,
        COLUMN_COUNT = 3,
    };

    explicit UsingThisOneModel(QObject *parent = nullptr);
    ~UsingThisOneModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // data: not owned; null shows nothing.
    void resetData(const UsingThisOneData *data);
    // Tells the views that the rows showing guid have new texts.
    void updateGuid(const Velmora::UGUID &guid);

private:
    bool isValidRow(const QModelIndex &index) const;

    const UsingThisOneData *data_ = nullptr;
};

} // namespace show_deps
