#include "editor/show_assets_dependencies/ui/using_this_one_window.h"

#include "editor/show_assets_dependencies/model/roles.h"

#include <editor_core/common/Common.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>

#include <velmora/World.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTableView>

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
    : ResultWindow(std::move(data), parent)
{
    setUp(tr("Assets Using This One"), QStringLiteral("AssetsUsingThisOne"),
          {"lib/editor/show_assets_dependencies/ui/UsingThisOneWindow", 54});
}

UsingThisOneWindow::~UsingThisOneWindow() = default;

void UsingThisOneWindow::assetChanged(const Velmora::UGUID &asset_guid)
{
    assetChangedIn(asset_guid);
}

void UsingThisOneWindow::assetRemoved(const Velmora::UGUID &asset_guid)
{
    assetRemovedIn(asset_guid);
}

void UsingThisOneWindow::updateSpans()
{
    ResultWindow::updateSpans();
    spanEqualSubRows(UsingThisOneModel::COLUMN_USER);
}

bool UsingThisOneWindow::offersMenuFor(const QModelIndexList &indexes) const
{
    return indexes.first().column() != UsingThisOneModel::COLUMN_NODE;
}

Editor::Selector *UsingThisOneWindow::selectorFor(const QModelIndexList &indexes)
{
    if (indexes.first().column() == UsingThisOneModel::COLUMN_NODE)
        return selectNode(indexes.first());
    return selectAssets(indexes);
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

} // namespace show_deps
