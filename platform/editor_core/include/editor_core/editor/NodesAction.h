#pragma once

#include "editor_core/editor/Undo.h"

#include <velmora/Math.h>
#include <velmora/Node.h>
#include <velmora/Ptr.h>
#include <velmora/Vector.h>

#include <QVector>

namespace Editor {

// Base of the node actions: remembers, per node, its parent, whether it was
// a root of the world and its local transform, before apply() and at commit;
// undo and redo put those states back.
class NodesAction : public Action
{
public:
    explicit NodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes);
    ~NodesAction() override;

    void apply() override;
    void captureAfter() override;
    void undo() override;
    void redo() override;

    const QVector<Velmora::Ptr<Velmora::Node>> &nodes() const { return nodes_; }

protected:
    // The change itself, run once by apply().
    virtual void perform() = 0;

private:
    struct State
    {
        Velmora::Ptr<Velmora::Node> parent;
        bool root_in_world = false;
        Velmora::mat4 transform;
    };
    QVector<State> capture() const;
    void restore(const QVector<State> &states);

    QVector<Velmora::Ptr<Velmora::Node>> nodes_;
    QVector<State> before_;
    QVector<State> after_;
};

// Takes nodes out of the world (they are kept for redo).
class RemoveNodesAction : public NodesAction
{
public:
    explicit RemoveNodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes);

protected:
    void perform() override;
};

// Gives nodes a new parent, keeping their world transforms; a null parent
// makes them roots of the world. index -1 appends them to the parent's
// children (the only placement there is).
class ReparentNodesAction : public NodesAction
{
public:
    ReparentNodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes, const Velmora::Ptr<Velmora::Node> &parent,
                        int index = -1);

protected:
    void perform() override;

private:
    Velmora::Ptr<Velmora::Node> parent_;
};

} // namespace Editor

// Puts new nodes into the world: nodes without a parent become roots of the
// world; nodes under a parent follow it. With select true the new nodes
// become the selection (outside the recorded step). Undo takes the nodes
// out of the world again, also those that were given their parent before
// the action ran; redo puts them back where they were at commit.
class CreateNodesAction : public Editor::NodesAction
{
public:
    CreateNodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes, bool select = false);

    void undo() override;

protected:
    void perform() override;

private:
    bool select_ = false;
};

// Transforms nodes. Mode 0 applies the matrix to each world transform from
// the left (the identity only records the current transforms, so that the
// changes made later in the same undo group are undone together); mode 1
// sets each world transform to the matrix.
class TransformNodesAction : public Editor::NodesAction
{
public:
    enum Mode {
        MODE_MULTIPLY = 0,
        MODE_SET = 1,
    };
    TransformNodesAction(const QVector<Velmora::Ptr<Velmora::Node>> &nodes, const Velmora::mat4 &matrix, int mode);

protected:
    void perform() override;

private:
    Velmora::mat4 matrix_;
    int mode_ = MODE_MULTIPLY;
};
