#pragma once

#include "editor/show_assets_dependencies/data/data.h"

namespace show_deps {

// A sub-row of "Assets Used": an asset that the main row's asset uses.
struct UsedSubRow
{
    Velmora::UGUID guid;
    QString name;
};

// The table of "Assets Used".
class UsedData : public Data<UsedSubRow>
{
public:
    explicit UsedData(const Editor::AssetManagerPrivate *asset_manager);
    ~UsedData() override;

    // Adds guid (not empty) under the last main row, whose index is row.
    void addSubRow(int row, const Velmora::UGUID &guid);
};

} // namespace show_deps
