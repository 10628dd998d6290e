#pragma once

#include <velmora/UGUID.h>

#include <QAbstractTableModel>

namespace show_deps {

class UsedData;

// The table of an "Assets Used" window: one row per sub-row, column 0 the
// main row's asset, column 1 an asset it uses. Cells give their GUID at
// GUID_ROLE. The model never changes the data; the window changes it and
// then calls resetData (new row structure) or updateGuid (new names).
class UsedModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        COLUMN_ASSET = 0,
        COLUMN_USED = 1,
        COLUMN_COUNT = 2,
    };

    explicit UsedModel(QObject *parent = nullptr);
    ~UsedModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // data: not owned; null shows nothing.
    void resetData(const UsedData *data);
    // Tells the views that the rows showing guid have new texts.
    void updateGuid(const Velmora::UGUID &guid);

private:
    bool isValidRow(const QModelIndex &index) const;

    const UsedData *data_ = nullptr;
};

} // namespace show_deps
