#pragma once

#include "editor/show_assets_dependencies/model/result_model.h"

namespace show_deps {

class UsedData;

// The table of an "Assets Used" window: column 0 the requested asset,
// column 1 an asset it uses.
class UsedModel : public ResultModel<UsedData>
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

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};

} // namespace show_deps
