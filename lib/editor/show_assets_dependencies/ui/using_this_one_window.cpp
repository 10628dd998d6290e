#include "editor/show_assets_dependencies/ui/using_this_one_window.h"

#include "editor/show_assets_dependencies/data/using_this_one_data.h"
#include "editor/show_assets_dependencies/model/roles.h"
#include "editor/show_assets_dependencies/model/using_this_one_model.h"
#include "editor/show_assets_dependencies/show_dependencies.h"
#include "editor/show_assets_dependencies/ui/result_table.h"

#include <editor_core/base/Assert.h>
#include <editor_core/common/Common.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>

#include <velmora/World.h>

#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

namespace show_deps {

namespace {

// Whether the world loaded in the editor is the asset guid.
bool isLoadedWorld(const Velmora::UGUID &guid)
{
    const Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    if (!assets || guid.isEmpty() || !Velmora::World::isLoaded())
        return false;
    return assets->asset(QString::fromUtf8(Velmora::World::getPath())).getGUID() == guid;
}

} // namespace

UsingThisOneWindow::UsingThisOneWindow(std::unique_ptr<UsingThisOneData> data, QWidget *parent)
    : QWidget(parent)
    , data_(std::move(data))
    , model_(new UsingThisOneModel(this))
{
    table_ = createTable(model_);
    if (!data_) {
        EC_SOFT_ASSERT(data_);
        table_->setParent(this);
        return;
    }
    result_table::setUpWindow(this, table_, tr("Assets Using This One"), QStringLiteral("AssetsUsingThisOne"));
    updateSpans();
}

UsingThisOneWindow::~UsingThisOneWindow() = default;

QTableView *UsingThisOneWindow::createTable(UsingThisOneModel *model)
{
    QTableView *table = result_table::create(model);
    connect(table, &QTableView::customContextMenuRequested, this,
            [this, table](const QPoint &pos) { showContextMenu(table->viewport()->mapToGlobal(pos)); });
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &UsingThisOneWindow::onSelectionChanged);
    return table;
}

void UsingThisOneWindow::updateSpans()
{
    model_->resetData(data_.get());
    table_->clearSpans();
    result_table::spanMainRows(table_, *data_);
    result_table::spanEqualSubRows(table_, *data_, UsingThisOneModel::COLUMN_USER);
}

void UsingThisOneWindow::onSelectionChanged(const QItemSelection &selected, const QItemSelection & /*deselected*/)
{
    if (updating_selection_)
        return;
    const QScopedValueRollback<bool> guard(updating_selection_, true);
    const QModelIndexList indexes = selected.indexes();
    Editor::Selector *selector = nullptr;
    if (!indexes.isEmpty()) {
        if (indexes.first().column() == UsingThisOneModel::COLUMN_NODE)
            selector = selectNode(indexes.first());
        else
            selector = selectAssets(indexes);
    }
    Editor::SelectionAction::applySelection(selector);
}

Editor::Selector *UsingThisOneWindow::selectAssets(const QModelIndexList &indexes) const
{
    QVector<Velmora::UGUID> guids;
    appendGuids(result_table::guidsOfIndexes(indexes), guids);
    return guids.isEmpty() ? nullptr : Editor::SelectorGUIDs::createRuntimesSelector(result_table::toVector(guids));
}

Editor::Selector *UsingThisOneWindow::selectNode(const QModelIndex &index)
{
    if (!Velmora::World::isLoaded())
        return nullptr;
    const int id = index.data(NODE_ID_ROLE).toInt();
    const QString name = index.data(Qt::DisplayRole).toString();
    const Velmora::UGUID owner = index.data(GUID_ROLE).value<Velmora::UGUID>();

    Velmora::Vector<Velmora::Ptr<Velmora::Node>> nodes;
    // An id means something only in the world the record came from, and
    // only for the node that still has the record's name.
    if (id != UsingThisOneData::WHOLE_ASSET && isLoadedWorld(owner)) {
        const Velmora::Ptr<Velmora::Node> node = Velmora::World::getNodeById(id);
        if (node && name == QString::fromUtf8(node->getName()))
            nodes.append(node);
    }
    if (nodes.isEmpty() && !name.isEmpty()) {
        const QVector<Velmora::Ptr<Velmora::Node>> by_name = Common::getEditorNodesByName(name);
        if (!by_name.isEmpty()) {
            QMessageBox question(QMessageBox::Question, tr("Select Nodes"),
                                 tr("Could not find the node by ID, do you want to select nodes by name instead?"),
                                 QMessageBox::Yes | QMessageBox::No, this);
            question.button(QMessageBox::Yes)->setText(tr("Yes"));
            question.button(QMessageBox::No)->setText(tr("No"));
            question.setDefaultButton(QMessageBox::Yes);
            question.setEscapeButton(QMessageBox::No);
            question.exec();
            if (question.clickedButton() == question.button(QMessageBox::Yes)) {
                for (const Velmora::Ptr<Velmora::Node> &node : by_name)
                    nodes.append(node);
            }
        }
    }
    return nodes.isEmpty() ? nullptr : Editor::SelectorNodes::createObjectsSelector(nodes);
}

void UsingThisOneWindow::showContextMenu(const QPoint &global_position)
{
    const QModelIndexList indexes = table_->selectionModel()->selectedIndexes();
    if (indexes.isEmpty() || indexes.first().column() == UsingThisOneModel::COLUMN_NODE)
        return;
    const Velmora::Vector<Velmora::UGUID> guids = result_table::guidsOfIndexes(indexes);
    if (guids.isEmpty())
        return;
    result_table::execQueryMenu(this, global_position, guids, tr("Show Assets Using This One"), tr("Show Assets Used"));
}

void UsingThisOneWindow::assetChanged(const Velmora::UGUID &asset_guid)
{
    if (!data_ || asset_guid.isEmpty())
        return;
    if (data_->renameGuid(asset_guid))
        model_->updateGuid(asset_guid);
}

void UsingThisOneWindow::assetRemoved(const Velmora::UGUID &asset_guid)
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
