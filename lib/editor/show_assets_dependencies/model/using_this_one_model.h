#pragma once

#include "editor/show_assets_dependencies/model/result_model.h"

namespace show_deps {

class UsingThisOneData;

// The table of an "Assets Using This One" window: column 0 the requested
// asset, column 1 an asset that uses it, column 2 the node of that asset
// that uses it (empty, and not selectable, for a use by the whole asset).
// Node cells give the owner's GUID at GUID_ROLE and the node id at
// NODE_ID_ROLE.
class UsingThisOneModel : public ResultModel<UsingThisOneData>
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

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};

} // namespace show_deps
