#pragma once

#include "editor/show_assets_dependencies/data/using_this_one_data.h"
#include "editor/show_assets_dependencies/model/using_this_one_model.h"
#include "editor/show_assets_dependencies/ui/result_window.h"

namespace show_deps {

// The "Assets Using This One" result window: a table of the requested
// assets, the assets that use each and the nodes in which they use it.
// Selecting an asset cell makes that asset the editor's selection, a node
// cell that node; the context menu (not on node cells) starts a new query on
// the selected asset. Column 1 is spanned over runs of one user. Kept
// current by the asset manager's changed, moved and removed signals.
class UsingThisOneWindow : public ResultWindow<UsingThisOneData, UsingThisOneModel>
{
    Q_OBJECT

public:
    // Takes the data; without data the window stays empty (soft assertion).
    explicit UsingThisOneWindow(std::unique_ptr<UsingThisOneData> data, QWidget *parent = nullptr);
    ~UsingThisOneWindow() override;

public slots:
    void assetChanged(const Velmora::UGUID &asset_guid);
    void assetRemoved(const Velmora::UGUID &asset_guid);

protected:
    void updateSpans() override;
    Editor::Selector *selectorFor(const QModelIndexList &indexes) override;
    bool offersMenuFor(const QModelIndexList &indexes) const override;

private:
    Editor::Selector *selectNode(const QModelIndex &index);
};

} // namespace show_deps
