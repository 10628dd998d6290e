#pragma once

#include <QObject>
#include <QPointer>

class QTreeWidget;
class View;

namespace world {

// The nodes window's presenter (registry member depr::g.world_presenter):
// a tree of the loaded world's nodes (name, type, id), docked on the left
// and refreshed when a world is loaded or shut down and when a node is
// removed. The nodes of the editor's selection are the tree's selection,
// both ways: selecting rows selects their nodes.
class Presenter : public QObject
{
    Q_OBJECT

public:
    explicit Presenter(QObject *parent = nullptr);
    ~Presenter() override;

    // Creates the nodes window (depr::gui.nodes_window, object name
    // "NodesWindow") and docks it on the left.
    void initGUI(View *main_window);
    // Undocks and deletes it, clears depr::gui.nodes_window.
    void shutdownGUI();

    QTreeWidget *nodesWindow() const;
    // Refills the tree from the engine's world now.
    void refresh();
    // Selects the items of the selected nodes (expanding their parents).
    void showSelection();

private:
    // Makes the nodes selected in the tree the editor's selection.
    void selectFromTree();

    QPointer<QTreeWidget> nodes_window_;
    // Set while the tree is changed to show the editor's selection.
    bool showing_selection_ = false;
    // World::getNumNodes at the last refresh.
    int node_count_ = 0;
};

} // namespace world
