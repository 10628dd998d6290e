#include "editor_core/editor/NodesAction.h"

#include "editor_core/editor/Selection.h"

#include <velmora/World.h>

namespace Editor {

NodesAction::NodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes)
{
    for (const Velmora::Ptr<Velmora::Node> &node : nodes) {
        if (node && !nodes_.contains(node))
            nodes_.append(node);
    }
}

NodesAction::~NodesAction() = default;

QVector<NodesAction::State> NodesAction::capture() const
{
    QVector<State> states;
    for (const Velmora::Ptr<Velmora::Node> &node : nodes_) {
        State state;
        if (node) {
            state.parent = node->getParent();
            state.root_in_world = !state.parent && node->isInWorld();
            state.transform = node->getTransform();
        }
        states.append(state);
    }
    return states;
}

void NodesAction::restore(const QVector<State> &states)
{
    for (int i = 0; i < nodes_.size() && i < states.size(); ++i) {
        const Velmora::Ptr<Velmora::Node> &node = nodes_[i];
        const State &state = states[i];
        if (!node)
            continue;
        if (state.parent) {
            node->setParent(state.parent);
        } else if (state.root_in_world) {
            if (node->getParent())
                node->setParent(Velmora::Ptr<Velmora::Node>()); // stays in the world as a root
            if (!node->isInWorld())
                Velmora::World::addNode(node);
        } else {
            if (node->isInWorld())
                Velmora::World::removeNode(node);
            else if (node->getParent())
                node->setParent(Velmora::Ptr<Velmora::Node>());
        }
        node->setTransform(state.transform);
    }
}

void NodesAction::apply()
{
    before_ = capture();
    perform();
}

void NodesAction::captureAfter()
{
    after_ = capture();
}

void NodesAction::undo()
{
    restore(before_);
}

void NodesAction::redo()
{
    restore(after_);
}

RemoveNodesAction::RemoveNodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes)
    : NodesAction(nodes)
{}

void RemoveNodesAction::perform()
{
    for (const Velmora::Ptr<Velmora::Node> &node : nodes()) {
        if (node->isInWorld())
            Velmora::World::removeNode(node);
        else if (node->getParent())
            node->setParent(Velmora::Ptr<Velmora::Node>());
    }
}

ReparentNodesAction::ReparentNodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes,
                                         const Velmora::Ptr<Velmora::Node> &parent, int /*index*/)
    : NodesAction(nodes)
    , parent_(parent)
{}

void ReparentNodesAction::perform()
{
    for (const Velmora::Ptr<Velmora::Node> &node : nodes())
        node->setWorldParent(parent_);
}

} // namespace Editor

CreateNodesAction::CreateNodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes, bool select)
    : NodesAction(nodes)
    , select_(select)
{}

void CreateNodesAction::perform()
{
    for (const Velmora::Ptr<Velmora::Node> &node : nodes()) {
        if (!node->getParent() && !node->isInWorld())
            Velmora::World::addNode(node);
    }
    if (select_) {
        if (Editor::Selection *selection = Editor::Selection::instance()) {
            Velmora::Vector<Velmora::Ptr<Velmora::Node>> list;
            for (const Velmora::Ptr<Velmora::Node> &node : nodes())
                list.append(node);
            selection->setSelector(Editor::SelectorNodes::createObjectsSelector(list));
        }
    }
}

void CreateNodesAction::undo()
{
    // The nodes did not exist before: whatever parent they were created
    // under, undo leaves them outside the world (held by this action).
    for (const Velmora::Ptr<Velmora::Node> &node : nodes()) {
        if (node->isInWorld())
            Velmora::World::removeNode(node);
        else if (node->getParent())
            node->setParent(Velmora::Ptr<Velmora::Node>());
    }
}

TransformNodesAction::TransformNodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes,
                                           const Velmora::mat4 &matrix, int mode)
    : NodesAction(nodes)
    , matrix_(matrix)
    , mode_(mode)
{}

void TransformNodesAction::perform()
{
    for (const Velmora::Ptr<Velmora::Node> &node : nodes()) {
        if (mode_ == MODE_SET)
            node->setWorldTransform(matrix_);
        else
            node->setWorldTransform(matrix_ * node->getWorldTransform());
    }
}
