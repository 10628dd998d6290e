#pragma once

#include "editor/show_assets_dependencies/data/data.h"

namespace show_deps {

// A sub-row of "Assets Using This One": an asset that uses the main row's
// asset, either as a whole (text empty, id -1) or in one of its nodes (the
// node's name and id).
struct UsingThisOneSubRow
{
    Velmora::UGUID guid;
    QString name;
    QString text;
    int id = 0;
};

// The table of "Assets Using This One".
class UsingThisOneData : public Data<UsingThisOneSubRow>
{
public:
    // The id of a use by the whole asset.
    static constexpr int WHOLE_ASSET = -1;

    explicit UsingThisOneData(const Editor::AssetManagerPrivate *asset_manager);
    ~UsingThisOneData() override;

    // Adds a user (guid not empty) under the last main row, whose index is
    // row.
    void addSubRow(int row, const Velmora::UGUID &guid, const QString &text, int id);
};

} // namespace show_deps
