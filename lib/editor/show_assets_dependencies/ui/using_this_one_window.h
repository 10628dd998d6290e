#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QModelIndexList>
#include <QWidget>

#include <memory>

class QItemSelection;
class QTableView;

namespace Editor {
class Selector;
}

namespace show_deps {

class UsingThisOneData;
class UsingThisOneModel;

// The "Assets Using This One" result window: a table of the requested
// assets, the assets that use each and the nodes in which they use it.
// Selecting an asset cell makes that asset the editor's selection, a node
// cell that node; the context menu starts a new query on the selected asset.
// Kept current by the asset manager's changed, moved and removed signals.
class UsingThisOneWindow : public QWidget
{
    Q_OBJECT

public:
    // Takes the data; without data the window stays empty (soft assertion).
    explicit UsingThisOneWindow(std::unique_ptr<UsingThisOneData> data, QWidget *parent = nullptr);
    ~UsingThisOneWindow() override;

    const UsingThisOneData *tableData() const { return data_.get(); }
    UsingThisOneModel *model() const { return model_; }
    QTableView *table() const { return table_; }

public slots:
    void assetChanged(const Velmora::UGUID &asset_guid);
    void assetRemoved(const Velmora::UGUID &asset_guid);

private:
    QTableView *createTable(UsingThisOneModel *model);
    void updateSpans();
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void showContextMenu(const QPoint &global_position);
    // Selectors for the editor; null for none.
    Editor::Selector *selectAssets(const QModelIndexList &indexes) const;
    Editor::Selector *selectNode(const QModelIndex &index);

    std::unique_ptr<UsingThisOneData> data_;
    UsingThisOneModel *model_ = nullptr;
    QTableView *table_ = nullptr;
    bool updating_selection_ = false;
};

} // namespace show_deps
