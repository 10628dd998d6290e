#include "editor_core/world/Presenter.h"

#include "editor_core/EditorLogic.h"
#include "editor_core/View.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/Selection.h"
#include "editor_core/editor/SelectionAction.h"
#include "editor_core/editor/WindowManager.h"

#include <velmora/Engine.h>
#include <velmora/Log.h>
#include <velmora/World.h>

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSet>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace world {

namespace {

// The node list asks for the width that shows its names whole beside the
// other columns (the window manager keeps it that wide where it can).
class NodesTree : public QTreeWidget
{
public:
    explicit NodesTree(QWidget *parent)
        : QTreeWidget(parent)
    {
        // The names shown change the width asked for.
        connect(this, &QTreeView::expanded, this, [this]() { updateGeometry(); });
        connect(this, &QTreeView::collapsed, this, [this]() { updateGeometry(); });
    }

    QSize sizeHint() const override
    {
        QSize hint = QTreeWidget::sizeHint();
        int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
        for (int column = 0; column < columnCount(); ++column) {
            if (header()->isSectionHidden(column))
                continue;
            width += header()->sectionResizeMode(column) == QHeaderView::Stretch
                    ? std::max(sizeHintForColumn(column), header()->sectionSizeHint(column))
                    : header()->sectionSize(column);
        }
        hint.setWidth(width);
        return hint;
    }

protected:
    void rowsInserted(const QModelIndex &parent, int start, int end) override
    {
        QTreeWidget::rowsInserted(parent, start, end);
        updateGeometry();
    }
};

void addNode(QTreeWidgetItem *parent, const Velmora::Ptr<Velmora::Node> &node)
{
    if (!node)
        return;
    auto *item = new QTreeWidgetItem(parent);
    item->setText(0, QString::fromUtf8(node->getName()));
    item->setText(1, QString::fromUtf8(node->getTypeName()));
    item->setText(2, QString::number(node->getID()));
    item->setData(0, Qt::UserRole, node->getID());
    for (int i = 0; i < node->getNumChildren(); ++i)
        addNode(item, node->getChild(i));
}

} // namespace

Presenter::Presenter(QObject *parent)
    : QObject(parent)
{}

Presenter::~Presenter()
{
    if (nodes_window_)
        shutdownGUI();
}

void Presenter::initGUI(View *main_window)
{
    if (nodes_window_) {
        Velmora::Log::warning("world::Presenter: the nodes window exists already\n");
        return;
    }
    auto *tree = new NodesTree(Editor::WindowManager::newDockParent(main_window));
    tree->setObjectName(QStringLiteral("NodesWindow"));
    tree->setWindowTitle(tr("Nodes"));
    tree->setColumnCount(3);
    tree->setHeaderLabels({tr("Name"), tr("Type"), tr("ID")});
    tree->setUniformRowHeights(true);
    // The name gets what the narrow dock leaves after the type and the id.
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree->header()->setSectionResizeMode(1, QHeaderView::Interactive);
    tree->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    tree->header()->setMinimumSectionSize(40);
    tree->header()->resizeSection(1, 96);
    nodes_window_ = tree;
    depr::gui.nodes_window = tree;

    if (EditorLogic *logic = depr::g.editor) {
        connect(logic, &EditorLogic::onWorldInit, tree, [this]() { refresh(); });
        // The world is still there while its shutdown is announced.
        connect(logic, &EditorLogic::onWorldShutdown, tree, [this]() {
            nodes_window_->clear();
            node_count_ = 0;
        });
        connect(logic, &EditorLogic::onNodeRemoved, tree, [this](int) { refresh(); });
        // Nodes added through undo steps have no signal of their own: the
        // count is compared once per frame.
        connect(logic, &EditorLogic::onUpdate, tree, [this]() {
            if (!nodes_window_ || !Velmora::Engine::get())
                return;
            const int count = Velmora::World::isLoaded() ? Velmora::World::getNumNodes() : 0;
            if (count != node_count_)
                refresh();
        });
    }
    // The editor's selection of nodes shows in the tree, and what the user
    // selects in the tree becomes the editor's selection.
    if (Editor::Selection *selection = Editor::Selection::instance())
        connect(selection, &Editor::Selection::changed, tree, [this]() { showSelection(); });
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(tree, &QTreeWidget::itemSelectionChanged, this, &Presenter::selectFromTree);
    refresh();
    if (Editor::WindowManager::instance())
        Editor::WindowManager::add(tree, Editor::WindowManager::AREA_LEFT);
}

void Presenter::shutdownGUI()
{
    if (!nodes_window_)
        return;
    if (Editor::WindowManager::contains(nodes_window_))
        Editor::WindowManager::remove(nodes_window_);
    if (depr::gui.nodes_window == nodes_window_)
        depr::gui.nodes_window = nullptr;
    delete nodes_window_;
}

QTreeWidget *Presenter::nodesWindow() const
{
    return nodes_window_;
}

void Presenter::selectFromTree()
{
    if (!nodes_window_ || showing_selection_ || !Velmora::Engine::get() || !Velmora::World::isLoaded())
        return;
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> nodes;
    for (const QTreeWidgetItem *item : nodes_window_->selectedItems()) {
        const Velmora::Ptr<Velmora::Node> node = Velmora::World::getNodeById(item->data(0, Qt::UserRole).toInt());
        if (node)
            nodes.append(node);
    }
    Editor::SelectionAction::applySelection(nodes.isEmpty() ? nullptr
                                                            : Editor::SelectorNodes::createObjectsSelector(nodes));
}

void Presenter::refresh()
{
    if (!nodes_window_)
        return;
    const QScopedValueRollback<bool> showing(showing_selection_, true);
    nodes_window_->clear();
    node_count_ = 0;
    if (!Velmora::Engine::get() || !Velmora::World::isLoaded())
        return;
    node_count_ = Velmora::World::getNumNodes();
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> roots;
    Velmora::World::getRootNodes(roots);
    for (const Velmora::Ptr<Velmora::Node> &node : roots)
        addNode(nodes_window_->invisibleRootItem(), node);
    showSelection();
}

void Presenter::showSelection()
{
    if (!nodes_window_)
        return;
    QSet<int> ids;
    if (const Editor::SelectorNodes *selector = Editor::Selection::getSelectorNodes()) {
        for (const Velmora::Ptr<Velmora::Node> &node : selector->getNodes())
            ids.insert(node->getID());
    }
    const QScopedValueRollback<bool> showing(showing_selection_, true);
    nodes_window_->clearSelection();
    QTreeWidgetItem *first = nullptr;
    for (QTreeWidgetItemIterator it(nodes_window_); *it; ++it) {
        if (!ids.contains((*it)->data(0, Qt::UserRole).toInt()))
            continue;
        (*it)->setSelected(true);
        for (QTreeWidgetItem *parent = (*it)->parent(); parent; parent = parent->parent())
            parent->setExpanded(true);
        if (!first)
            first = *it;
    }
    if (first)
        nodes_window_->scrollToItem(first);
}

} // namespace world
