#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QWidget>

#include <memory>

class QItemSelection;
class QTableView;

namespace show_deps {

class UsedData;
class UsedModel;

// The "Assets Used" result window: a table of the requested assets and the
// assets each uses. Selecting a cell makes its asset the editor's selection;
// the context menu starts a new query on the selected asset. Kept current
// by the asset manager's changed, moved and removed signals.
class UsedWindow : public QWidget
{
    Q_OBJECT

public:
    // Takes the data; without data the window stays empty (soft assertion).
    explicit UsedWindow(std::unique_ptr<UsedData> data, QWidget *parent = nullptr);
    ~UsedWindow() override;

    const UsedData *tableData() const { return data_.get(); }
    UsedModel *model() const { return model_; }
    QTableView *table() const { return table_; }

public slots:
    void assetChanged(const Velmora::UGUID &asset_guid);
    void assetRemoved(const Velmora::UGUID &asset_guid);

private:
    QTableView *createTable(UsedModel *model);
    void updateSpans();
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void showContextMenu(const QPoint &global_position);

    std::unique_ptr<UsedData> data_;
    UsedModel *model_ = nullptr;
    QTableView *table_ = nullptr;
    bool updating_selection_ = false;
};

} // namespace show_deps
