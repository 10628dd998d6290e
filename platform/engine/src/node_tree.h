#pragma once

#include "velmora/Node.h"

#include <vector>

namespace Velmora {

// Book-keeping of all live nodes and of the world's node list (roots).
// Main thread only, except the registry which is locked.
class NodeTree
{
public:
    static Node *parentOf(const Node *node) { return node->parent_; }
    static const Vector<Node *> &childrenOf(const Node *node) { return node->children_; }
    static Ptr<Node> handleOf(const Node *node) { return node->self_; }
    // Makes content the reference contents of owner: its parent reads as
    // owner, but owner does not list it among its children.
    static void attachReferenceContent(Node *owner, Node *content) { content->parent_ = owner; }
    static void detachReferenceContent(Node *content) { content->parent_ = nullptr; }

    // Deletes a node (and its children) now; every handle reads null.
    static void destroy(Node *node);

    static std::vector<Node *> &roots();
    static bool isRoot(const Node *node);
    static void addRoot(Node *node);
    static void removeRoot(Node *node);

    // Orphans: no parent, not a root, only their own handle left.
    static void sweep();
    static void destroyAll();
    static int numLiveNodes();

    // Next id for new nodes; kept above the ids of the loaded world.
    static int takeNextId();
    static void raiseNextId(int above);
    static void resetIds();

    // Depth-first walk of node and its children (reference contents
    // excluded); fn returns false to stop.
    template<typename Fn>
    static bool walk(Node *node, Fn &&fn)
    {
        if (!fn(node))
            return false;
        const Vector<Node *> children = node->children_;
        for (Node *child : children) {
            if (!walk(child, fn))
                return false;
        }
        return true;
    }
};

} // namespace Velmora
