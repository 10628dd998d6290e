#pragma once

#include <velmora/UGUID.h>

#include <QAbstractTableModel>

namespace show_deps {

// What the two result table models share over their table data (DataT, a
// Data<SubRow>): one row per sub-row; column 0 the main row's asset, column
// 1 the sub-row's asset; every cell gives its GUID at GUID_ROLE. A sub-row
// cell without a name (a placeholder) cannot be selected. Subclasses add
// their headers and further columns. The model never changes the data; the
// window changes it and then calls resetData (new row structure) or
// updateGuid (new names).
template<typename DataT>
class ResultModel : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // data: not owned; null shows nothing.
    void resetData(const DataT *data);
    // Tells the views that the rows showing guid have new texts.
    void updateGuid(const Velmora::UGUID &guid);

protected:
    ResultModel(int column_count, QObject *parent);

    bool isValidRow(const QModelIndex &index) const;
    const DataT *tableData() const { return data_; }

private:
    const DataT *data_ = nullptr;
    int column_count_;
};

} // namespace show_deps
