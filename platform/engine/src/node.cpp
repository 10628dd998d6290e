#include "velmora/Node.h"

#include "velmora/Light.h"
#include "velmora/Log.h"
#include "velmora/Object.h"
#include "velmora/Player.h"
#include "velmora/World.h"

#include "engine_internal.h"
#include "node_tree.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace Velmora {

namespace {

struct TypeName
{
    int type;
    const char *name;
};

const TypeName TYPE_NAMES[] = {
        {Node::NODE_DUMMY, "NodeDummy"},
        {Node::NODE_REFERENCE, "NodeReference"},
        {Node::WORLD_EXPRESSION, "WorldExpression"},
        {Node::PLAYER_DUMMY, "PlayerDummy"},
        {Node::LIGHT_WORLD, "LightWorld"},
        {Node::OBJECT_MESH_STATIC, "ObjectMeshStatic"},
        {Node::OBJECT_MESH_CLUTTER, "ObjectMeshClutter"},
        {Node::OBJECT_GRASS, "ObjectGrass"},
        {Node::OBJECT_BILLBOARDS, "ObjectBillboards"},
};

std::mutex g_registry_mutex;
std::unordered_set<Node *> g_registry;
std::vector<Node *> g_roots;
std::atomic<int> g_next_id{1};

} // namespace

// ---- bounds ----------------------------------------------------------------

vec3 BoundBox::getCenter() const
{
    return (min_ + max_) * 0.5f;
}

vec3 BoundBox::getSize() const
{
    return max_ - min_;
}

void BoundBox::expand(const vec3 &point)
{
    if (!valid_) {
        min_ = max_ = point;
        valid_ = true;
        return;
    }
    min_ = Math::min(min_, point);
    max_ = Math::max(max_, point);
}

void BoundBox::expand(const BoundBox &box)
{
    if (!box.valid_)
        return;
    expand(box.min_);
    expand(box.max_);
}

BoundBox BoundBox::transformed(const mat4 &m) const
{
    BoundBox result;
    if (!valid_)
        return result;
    for (int i = 0; i < 8; ++i) {
        const vec3 corner((i & 1) ? max_.x : min_.x, (i & 2) ? max_.y : min_.y, (i & 4) ? max_.z : min_.z);
        result.expand(m * corner);
    }
    return result;
}

BoundSphere::BoundSphere(const BoundBox &box)
{
    if (box.isValid()) {
        center_ = box.getCenter();
        radius_ = (box.getMax() - center_).length();
    }
}

// ---- tree book-keeping ---------------------------------------------------------

void NodeTree::destroy(Node *node)
{
    if (!node)
        return;
    Ptr<Node> keep = node->self_;
    keep.destroy();
}

std::vector<Node *> &NodeTree::roots()
{
    return g_roots;
}

bool NodeTree::isRoot(const Node *node)
{
    return std::find(g_roots.begin(), g_roots.end(), node) != g_roots.end();
}

void NodeTree::addRoot(Node *node)
{
    if (!isRoot(node))
        g_roots.push_back(node);
}

void NodeTree::removeRoot(Node *node)
{
    g_roots.erase(std::remove(g_roots.begin(), g_roots.end(), node), g_roots.end());
}

void NodeTree::sweep()
{
    std::vector<Node *> orphans;
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        for (Node *node : g_registry) {
            if (!node->parent_ && node->self_.getCounter() == 1 && !isRoot(node))
                orphans.push_back(node);
        }
    }
    for (Node *node : orphans) {
        bool alive = false;
        {
            std::lock_guard<std::mutex> lock(g_registry_mutex);
            alive = g_registry.count(node) != 0;
        }
        if (alive)
            destroy(node);
    }
}

void NodeTree::destroyAll()
{
    g_roots.clear();
    for (;;) {
        Node *node = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_registry_mutex);
            // Top-level nodes first: they take their subtrees with them.
            for (Node *candidate : g_registry) {
                if (!candidate->parent_) {
                    node = candidate;
                    break;
                }
            }
            if (!node && !g_registry.empty())
                node = *g_registry.begin();
        }
        if (!node)
            break;
        destroy(node);
    }
}

int NodeTree::numLiveNodes()
{
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    return int(g_registry.size());
}

int NodeTree::takeNextId()
{
    return g_next_id.fetch_add(1);
}

void NodeTree::raiseNextId(int above)
{
    int current = g_next_id.load();
    while (current <= above && !g_next_id.compare_exchange_weak(current, above + 1)) {}
}

void NodeTree::resetIds()
{
    g_next_id.store(1);
}

// ---- Node ------------------------------------------------------------------------

Node::Node(int type)
    : type_(type)
{}

Node::~Node()
{
    {
        std::lock_guard<std::mutex> lock(g_registry_mutex);
        g_registry.erase(this);
    }
    NodeTree::removeRoot(this);
    if (parent_) {
        const int index = parent_->children_.findIndex(this);
        if (index >= 0)
            parent_->children_.remove(index);
    }
    parent_ = nullptr;
    const Vector<Node *> children = children_;
    children_.clear();
    for (Node *child : children) {
        child->parent_ = nullptr;
        NodeTree::destroy(child);
    }
}

void Node::registerNode(Node *node)
{
    node->id_ = NodeTree::takeNextId();
    std::lock_guard<std::mutex> lock(g_registry_mutex);
    g_registry.insert(node);
}

const char *Node::getTypeName() const
{
    if (!file_type_.empty())
        return file_type_.get();
    return getTypeName(type_);
}

const char *Node::getTypeName(int type)
{
    for (const TypeName &entry : TYPE_NAMES) {
        if (entry.type == type)
            return entry.name;
    }
    return "";
}

int Node::getTypeID(const char *name)
{
    for (const TypeName &entry : TYPE_NAMES) {
        if (name && std::strcmp(entry.name, name) == 0)
            return entry.type;
    }
    return -1;
}

bool Node::isPlayer() const
{
    return dynamic_cast<const Player *>(this) != nullptr;
}

bool Node::isLight() const
{
    return dynamic_cast<const Light *>(this) != nullptr;
}

bool Node::isObject() const
{
    return dynamic_cast<const Object *>(this) != nullptr;
}

bool Node::isEnabledInHierarchy() const
{
    for (const Node *node = this; node; node = node->parent_) {
        if (!node->enabled_)
            return false;
    }
    return true;
}

Ptr<Node> Node::getParent() const
{
    return parent_ ? parent_->self_ : Ptr<Node>();
}

void Node::setParent(const Ptr<Node> &parent)
{
    Node *target = parent.get();
    if (target == parent_)
        return;
    for (const Node *node = target; node; node = node->parent_) {
        if (node == this) {
            Log::error("Node::setParent: \"%s\" cannot become a child of itself or of a descendant\n", name_.get());
            return;
        }
    }
    const bool was_in_world = isInWorld();
    if (parent_) {
        const int index = parent_->children_.findIndex(this);
        if (index >= 0)
            parent_->children_.remove(index);
    }
    parent_ = target;
    if (target) {
        NodeTree::removeRoot(this);
        target->children_.append(this);
    } else if (was_in_world) {
        // A node of the world stays in the world when it loses its parent.
        NodeTree::addRoot(this);
    }
}

void Node::setWorldParent(const Ptr<Node> &parent)
{
    const mat4 world = getWorldTransform();
    setParent(parent);
    setWorldTransform(world);
}

Ptr<Node> Node::getChild(int index) const
{
    if (index < 0 || index >= children_.size())
        return Ptr<Node>();
    return children_[index]->self_;
}

int Node::findChild(const char *name) const
{
    for (int i = 0; i < children_.size(); ++i) {
        if (name && children_[i]->name_ == name)
            return i;
    }
    return -1;
}

void Node::addChild(const Ptr<Node> &child)
{
    if (child)
        child->setParent(self_);
}

void Node::removeChild(const Ptr<Node> &child)
{
    if (child && child->parent_ == this)
        child->setParent(Ptr<Node>());
}

bool Node::isInWorld() const
{
    const Node *top = this;
    while (top->parent_)
        top = top->parent_;
    return NodeTree::isRoot(top);
}

mat4 Node::getWorldTransform() const
{
    return parent_ ? parent_->getWorldTransform() * transform_ : transform_;
}

void Node::setWorldTransform(const mat4 &transform)
{
    transform_ = parent_ ? Math::inverse(parent_->getWorldTransform()) * transform : transform;
}

vec3 Node::getPosition() const
{
    return transform_.getTranslate();
}

void Node::setPosition(const vec3 &position)
{
    transform_.setTranslate(position);
}

quat Node::getRotation() const
{
    return quat(transform_);
}

void Node::setRotation(const quat &rotation, bool identity)
{
    const vec3 scale = identity ? vec3(1.0f, 1.0f, 1.0f) : getScale();
    transform_ = Math::compose(getPosition(), rotation, scale);
}

vec3 Node::getScale() const
{
    return transform_.getScale();
}

void Node::setScale(const vec3 &scale)
{
    transform_ = Math::compose(getPosition(), getRotation(), scale);
}

vec3 Node::getWorldPosition() const
{
    return getWorldTransform().getTranslate();
}

void Node::setWorldPosition(const vec3 &position)
{
    mat4 world = getWorldTransform();
    world.setTranslate(position);
    setWorldTransform(world);
}

quat Node::getWorldRotation() const
{
    return quat(getWorldTransform());
}

vec3 Node::getWorldDirection() const
{
    return Math::normalize(-getWorldTransform().getColumn3(2));
}

BoundBox Node::getBoundBox() const
{
    return BoundBox();
}

namespace {

void collectWorldBounds(const Node *node, const mat4 &world, BoundBox &box)
{
    box.expand(node->getBoundBox().transformed(world));
    for (int i = 0; i < node->getNumChildren(); ++i) {
        const Ptr<Node> child = node->getChild(i);
        collectWorldBounds(child.get(), world * child->getTransform(), box);
    }
}

} // namespace

BoundBox Node::getWorldBoundBox() const
{
    BoundBox box;
    collectWorldBounds(this, getWorldTransform(), box);
    return box;
}

BoundSphere Node::getWorldBoundSphere() const
{
    return BoundSphere(getWorldBoundBox());
}

BoundBox Node::getHierarchyBoundBox() const
{
    BoundBox box;
    collectWorldBounds(this, mat4(), box);
    return box;
}

Ptr<Node> Node::clone() const
{
    Ptr<Node> copy = cloneSelf();
    for (Node *child : children_)
        child->clone()->setParent(copy);
    return copy;
}

void Node::copyBaseTo(Node *node) const
{
    node->id_ = id_;
    node->name_ = name_;
    node->enabled_ = enabled_;
    node->transform_ = transform_;
    node->unknown_elements_ = unknown_elements_;
    node->file_type_ = file_type_;
}

// ---- NodeDummy, WorldExpression ------------------------------------------------

Ptr<NodeDummy> NodeDummy::create()
{
    return adopt(new NodeDummy);
}

Ptr<Node> NodeDummy::cloneSelf() const
{
    Ptr<NodeDummy> copy = create();
    copyBaseTo(copy.get());
    return copy;
}

Ptr<WorldExpression> WorldExpression::create()
{
    return adopt(new WorldExpression);
}

Ptr<Node> WorldExpression::cloneSelf() const
{
    Ptr<WorldExpression> copy = create();
    copyBaseTo(copy.get());
    copy->expression_ = expression_;
    return copy;
}

// ---- NodeReference -----------------------------------------------------------------

Ptr<NodeReference> NodeReference::create(const char *path)
{
    Ptr<NodeReference> node = adopt(new NodeReference);
    node->setNodePath(path);
    return node;
}

NodeReference::~NodeReference()
{
    if (reference_) {
        Node *content = reference_.get();
        reference_.reset();
        NodeTree::detachReferenceContent(content);
        NodeTree::destroy(content);
    }
}

bool NodeReference::setNodePath(const char *path)
{
    path_ = path;
    return reload();
}

bool NodeReference::reload()
{
    if (reference_) {
        Node *old = reference_.get();
        reference_.reset();
        NodeTree::detachReferenceContent(old);
        NodeTree::destroy(old);
    }
    if (path_.empty())
        return false;
    if (!engine_internal::checkRunning("NodeReference::reload"))
        return false;
    Ptr<Node> content = World::loadNode(path_.get());
    if (!content)
        return false;
    reference_ = content;
    NodeTree::attachReferenceContent(this, content.get());
    return true;
}

BoundBox NodeReference::getBoundBox() const
{
    if (!reference_)
        return BoundBox();
    BoundBox box;
    collectWorldBounds(reference_.get(), reference_->getTransform(), box);
    return box;
}

Ptr<Node> NodeReference::cloneSelf() const
{
    Ptr<NodeReference> copy = adopt(new NodeReference);
    copyBaseTo(copy.get());
    copy->setNodePath(path_.get());
    return copy;
}

namespace engine_internal {

void sweepNodes()
{
    NodeTree::sweep();
}

void destroyAllNodes()
{
    NodeTree::destroyAll();
    NodeTree::resetIds();
}

} // namespace engine_internal

} // namespace Velmora
