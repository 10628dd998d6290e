#pragma once

#include "editor/show_assets_dependencies/data/used_data.h"
#include "editor/show_assets_dependencies/model/used_model.h"
#include "editor/show_assets_dependencies/ui/result_window.h"

namespace show_deps {

// The "Assets Used" result window: a table of the requested assets and the
// assets each uses. Selecting a cell makes its asset the editor's selection;
// the context menu starts a new query on the selected asset. Kept current
// by the asset manager's changed, moved and removed signals.
class UsedWindow : public ResultWindow<UsedData, UsedModel>
{
    Q_OBJECT

public:
    // Takes the data; without data the window stays empty (soft assertion).
    explicit UsedWindow(std::unique_ptr<UsedData> data, QWidget *parent = nullptr);
    ~UsedWindow() override;

public slots:
    void assetChanged(const Velmora::UGUID &asset_guid);
    void assetRemoved(const Velmora::UGUID &asset_guid);

protected:
    Editor::Selector *selectorFor(const QModelIndexList &indexes) override;
};

} // namespace show_deps
