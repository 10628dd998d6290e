#include "editor/show_assets_dependencies/ui/used_window.h"

#include "editor/show_assets_dependencies/data/used_data.h"
#include "editor/show_assets_dependencies/model/used_model.h"
#include "editor/show_assets_dependencies/show_dependencies.h"
#include "editor/show_assets_dependencies/ui/result_table.h"

#include <editor_core/base/Assert.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>

#include <QItemSelectionModel>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

namespace show_deps {

UsedWindow::UsedWindow(std::unique_ptr<UsedData> data, QWidget *parent)
    : QWidget(parent)
    , data_(std::move(data))
    , model_(new UsedModel(this))
{
    table_ = createTable(model_);
    if (!data_) {
        EC_SOFT_ASSERT(data_);
        table_->setParent(this);
        return;
    }
    result_table::setUpWindow(this, table_, tr("Assets Used"), QStringLiteral("AssetsUsed"));
    updateSpans();
}

UsedWindow::~UsedWindow() = default;

QTableView *UsedWindow::createTable(UsedModel *model)
{
    QTableView *table = result_table::create(model);
    connect(table, &QTableView::customContextMenuRequested, this,
            [this, table](const QPoint &pos) { showContextMenu(table->viewport()->mapToGlobal(pos)); });
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &UsedWindow::onSelectionChanged);
    return table;
}

void UsedWindow::updateSpans()
{
    model_->resetData(data_.get());
    table_->clearSpans();
    result_table::spanMainRows(table_, *data_);
}

void UsedWindow::onSelectionChanged(const QItemSelection &selected, const QItemSelection & /*deselected*/)
{
    if (updating_selection_)
        return;
    const QScopedValueRollback<bool> guard(updating_selection_, true);
    QVector<Velmora::UGUID> guids;
    appendGuids(result_table::guidsOfIndexes(selected.indexes()), guids);
    Editor::SelectionAction::applySelection(
            guids.isEmpty() ? nullptr : Editor::SelectorGUIDs::createRuntimesSelector(result_table::toVector(guids)));
}

void UsedWindow::showContextMenu(const QPoint &global_position)
{
    const Velmora::Vector<Velmora::UGUID> guids
            = result_table::guidsOfIndexes(table_->selectionModel()->selectedIndexes());
    if (guids.isEmpty())
        return;
    result_table::execQueryMenu(this, global_position, guids, tr("Show Assets Using This One"), tr("Show Assets Used"));
}

void UsedWindow::assetChanged(const Velmora::UGUID &asset_guid)
{
    if (!data_ || asset_guid.isEmpty())
        return;
    if (data_->renameGuid(asset_guid))
        model_->updateGuid(asset_guid);
}

void UsedWindow::assetRemoved(const Velmora::UGUID &asset_guid)
{
    if (!data_ || asset_guid.isEmpty())
        return;
    const bool selected = result_table::isGuidSelected(table_, asset_guid);
    if (data_->removeGuid(asset_guid))
        updateSpans();
    if (selected) {
        // The table loses the cell; the editor keeps what it had selected.
        const QScopedValueRollback<bool> guard(updating_selection_, true);
        table_->selectionModel()->clear();
    }
}

} // namespace show_deps
