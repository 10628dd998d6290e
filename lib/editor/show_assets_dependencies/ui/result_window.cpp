#include "editor/show_assets_dependencies/ui/result_window.h"

#include "core/base/model_guids.h"
#include "editor/show_assets_dependencies/data/used_data.h"
#include "editor/show_assets_dependencies/data/using_this_one_data.h"
#include "editor/show_assets_dependencies/model/roles.h"
#include "editor/show_assets_dependencies/model/used_model.h"
#include "editor/show_assets_dependencies/model/using_this_one_model.h"
#include "editor/show_assets_dependencies/show_dependencies.h"

#include <editor_core/base/Assert.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

namespace show_deps {

template<typename DataT, typename ModelT>
ResultWindow<DataT, ModelT>::ResultWindow(std::unique_ptr<DataT> data, QWidget *parent)
    : QWidget(parent)
    , data_(std::move(data))
    , model_(new ModelT(this))
{
    table_ = createTable(model_);
}

template<typename DataT, typename ModelT>
ResultWindow<DataT, ModelT>::~ResultWindow() = default;

template<typename DataT, typename ModelT>
void ResultWindow<DataT, ModelT>::setUp(const QString &title, const QString &object_name, AssertPlace no_data)
{
    if (!data_) {
        base::printAssertMessage("data_", no_data.source, no_data.line);
        table_->setParent(this);
        return;
    }
    setWindowFlags(Qt::Dialog);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setWindowTitle(title);
    setObjectName(object_name);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_);
    setMinimumSize(model_->columnCount() * 100, 60);
    resize(600, 400);
    updateSpans();
}

template<typename DataT, typename ModelT>
QTableView *ResultWindow<DataT, ModelT>::createTable(ModelT *model)
{
    auto *table = new QTableView;
    table->setModel(model);
    table->setAlternatingRowColors(false);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->horizontalHeader()->setMinimumSectionSize(100);
    table->setShowGrid(true);
    connect(table, &QTableView::customContextMenuRequested, this,
            [this, table](const QPoint &pos) { showContextMenu(table->viewport()->mapToGlobal(pos)); });
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected, const QItemSelection &deselected) {
                onSelectionChanged(selected, deselected);
            });
    return table;
}

template<typename DataT, typename ModelT>
void ResultWindow<DataT, ModelT>::updateSpans()
{
    model_->resetData(data_.get());
    table_->clearSpans();
    const int num_rows = data_->getNumRows();
    int row = 0;
    while (row < num_rows) {
        const int main_row = data_->getMainRowIndex(row);
        int count = 1;
        while (row + count < num_rows && data_->getMainRowIndex(row + count) == main_row)
            ++count;
        if (count > 1)
            table_->setSpan(row, 0, count, 1);
        row += count;
    }
    EC_ASSERT(data_->getNumRows() == row);
}

template<typename DataT, typename ModelT>
void ResultWindow<DataT, ModelT>::spanEqualSubRows(int column)
{
    const int num_rows = data_->getNumRows();
    int start = 0;
    while (start < num_rows) {
        const Velmora::UGUID &guid = data_->getSubRow(start).guid;
        int length = 1;
        while (!guid.isEmpty() && start + length < num_rows && data_->getSubRow(start + length).guid == guid)
            ++length;
        if (length > 1)
            table_->setSpan(start, column, length, 1);
        start += length;
    }
    EC_ASSERT(num_rows == start);
}

template<typename DataT, typename ModelT>
void ResultWindow<DataT, ModelT>::onSelectionChanged(const QItemSelection &selected,
                                                     const QItemSelection & /*deselected*/)
{
    if (updating_selection_)
        return;
    const QScopedValueRollback<bool> guard(updating_selection_, true);
    const QModelIndexList indexes = selected.indexes();
    Editor::SelectionAction::applySelection(indexes.isEmpty() ? nullptr : selectorFor(indexes));
}

template<typename DataT, typename ModelT>
Editor::Selector *ResultWindow<DataT, ModelT>::selectAssets(const QModelIndexList &indexes) const
{
    const Velmora::Vector<Velmora::UGUID> guids = guidsOfIndexes(indexes);
    if (guids.isEmpty())
        return nullptr;
    return Editor::SelectorGUIDs::createRuntimesSelector(guids);
}

template<typename DataT, typename ModelT>
void ResultWindow<DataT, ModelT>::showContextMenu(const QPoint &global_position)
{
    const QModelIndexList indexes = table_->selectionModel()->selectedIndexes();
    if (indexes.isEmpty() || !offersMenuFor(indexes))
        return;
    const Velmora::Vector<Velmora::UGUID> guids = guidsOfIndexes(indexes);
    if (guids.isEmpty())
        return;
    const char *context = metaObject()->className();
    QMenu menu;
    QAction *dependents = menu.addAction(QCoreApplication::translate(context, "Show Assets Using This One"));
    dependents->setShortcut(QKeySequence());
    connect(dependents, &QAction::triggered, this, [guids] { showDependents(guids); });
    QAction *dependencies = menu.addAction(QCoreApplication::translate(context, "Show Assets Used"));
    dependencies->setShortcut(QKeySequence());
    connect(dependencies, &QAction::triggered, this, [guids] { showDependencies(guids); });
    menu.exec(global_position);
}

template<typename DataT, typename ModelT>
Velmora::Vector<Velmora::UGUID> ResultWindow<DataT, ModelT>::guidsOfIndexes(const QModelIndexList &indexes)
{
    return ModelGuids::distinct(indexes, GUID_ROLE);
}

template<typename DataT, typename ModelT>
bool ResultWindow<DataT, ModelT>::isGuidSelected(const Velmora::UGUID &guid) const
{
    const QModelIndexList indexes = table_->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : indexes) {
        if (index.data(GUID_ROLE).value<Velmora::UGUID>() == guid)
            return true;
    }
    return false;
}

template<typename DataT, typename ModelT>
void ResultWindow<DataT, ModelT>::assetChangedIn(const Velmora::UGUID &asset_guid)
{
    if (!data_ || asset_guid.isEmpty())
        return;
    if (data_->renameGuid(asset_guid))
        model_->updateGuid(asset_guid);
}

template<typename DataT, typename ModelT>
void ResultWindow<DataT, ModelT>::assetRemovedIn(const Velmora::UGUID &asset_guid)
{
    if (!data_ || asset_guid.isEmpty())
        return;
    const bool selected = isGuidSelected(asset_guid);
    if (data_->removeGuid(asset_guid))
        updateSpans();
    if (selected) {
        // The table loses the cell; the editor keeps what it had selected.
        const QScopedValueRollback<bool> guard(updating_selection_, true);
        table_->selectionModel()->clear();
    }
}

template class ResultWindow<UsedData, UsedModel>;
template class ResultWindow<UsingThisOneData, UsingThisOneModel>;

} // namespace show_deps
