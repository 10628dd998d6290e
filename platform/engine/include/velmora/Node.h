#pragma once

#include "velmora/Bounds.h"
#include "velmora/Math.h"
#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

namespace Velmora {

class Object;
class Player;
class Light;

// A node of the scene tree: type, id, name, enabled flag, local transform,
// parent and children. Nodes are engine objects handed out as Ptr<Node>;
// a node lives while it is in the world, has a parent, or a handle holds it
// (orphans nobody holds are reclaimed at the end of the next frame).
// Ptr::destroy() deletes a node and its children at once.
class Node
{
public:
    enum TYPE {
        NODE_DUMMY = 0,
        NODE_REFERENCE = 1,
        WORLD_EXPRESSION = 2,
        PLAYER_DUMMY = 10,
        LIGHT_WORLD = 20,
        OBJECT_MESH_STATIC = 33,
        OBJECT_MESH_CLUTTER = 36,
        OBJECT_GRASS = 37,
        OBJECT_BILLBOARDS = 38,
    };

    virtual ~Node();

    int getType() const { return type_; }
    // Type name as written in world files ("ObjectMeshStatic").
    const char *getTypeName() const;
    static const char *getTypeName(int type);
    // Type number of a type name, -1 when unknown.
    static int getTypeID(const char *name);

    bool isPlayer() const;
    bool isLight() const;
    bool isObject() const;
    bool isReference() const { return type_ == NODE_REFERENCE; }

    int getID() const { return id_; }
    void setID(int id) { id_ = id; }
    const char *getName() const { return name_.get(); }
    void setName(const char *name) { name_ = name; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    // Enabled and every ancestor enabled.
    bool isEnabledInHierarchy() const;

    // Tree. setParent keeps the local transform; a null parent detaches.
    Ptr<Node> getParent() const;
    void setParent(const Ptr<Node> &parent);
    // Like setParent, but keeps the world transform.
    void setWorldParent(const Ptr<Node> &parent);
    int getNumChildren() const { return children_.size(); }
    Ptr<Node> getChild(int index) const;
    int findChild(const char *name) const;
    void addChild(const Ptr<Node> &child);
    void removeChild(const Ptr<Node> &child);
    // This node's handle (shares ownership with every other handle).
    Ptr<Node> getPtr() const { return self_; }
    // Whether the node is in the world's node list or under a node that is.
    bool isInWorld() const;

    // Transforms: local = relative to the parent, world = absolute.
    const mat4 &getTransform() const { return transform_; }
    void setTransform(const mat4 &transform) { transform_ = transform; }
    mat4 getWorldTransform() const;
    void setWorldTransform(const mat4 &transform);
    vec3 getPosition() const;
    void setPosition(const vec3 &position);
    quat getRotation() const;
    // Keeps position and scale; identity = true ignores the current scale.
    void setRotation(const quat &rotation, bool identity = false);
    vec3 getScale() const;
    void setScale(const vec3 &scale);
    vec3 getWorldPosition() const;
    void setWorldPosition(const vec3 &position);
    quat getWorldRotation() const;
    vec3 getWorldDirection() const; // local -Z in world space

    // Bounds of this node alone, in local space (invalid when it draws nothing).
    virtual BoundBox getBoundBox() const;
    BoundSphere getBoundSphere() const { return BoundSphere(getBoundBox()); }
    // World bounds of the node and all its descendants (reference contents
    // included), matching what the renderer draws.
    BoundBox getWorldBoundBox() const;
    BoundSphere getWorldBoundSphere() const;
    // Bounds of this node and descendants in this node's local space.
    BoundBox getHierarchyBoundBox() const;

    // Elements of the node's file entry that the engine does not interpret,
    // kept to be written back on save (each as XML text of one element).
    const Vector<String> &getUnknownElements() const { return unknown_elements_; }
    void setUnknownElements(const Vector<String> &elements) { unknown_elements_ = elements; }

    // Deep copy of the node and its children (not in the world; ids kept).
    Ptr<Node> clone() const;

    // Type name read from a file whose type the engine does not know (the
    // node then behaves as a NodeDummy and is saved under this name).
    const char *getFileTypeName() const { return file_type_.get(); }
    void setFileTypeName(const char *name) { file_type_ = name; }

protected:
    explicit Node(int type);
    // Registers a newly created node and hands out its first handle.
    template<typename T>
    static Ptr<T> adopt(T *node)
    {
        Ptr<T> ptr(node);
        node->self_ = ptr;
        registerNode(node);
        return ptr;
    }
    static void registerNode(Node *node);
    // Copies the common fields into a freshly made node of the same type.
    virtual Ptr<Node> cloneSelf() const = 0;
    void copyBaseTo(Node *node) const;

private:
    friend class NodeTree;

    int type_ = NODE_DUMMY;
    int id_ = 0;
    String name_;
    bool enabled_ = true;
    mat4 transform_;
    Node *parent_ = nullptr;
    Vector<Node *> children_;
    Ptr<Node> self_;
    Vector<String> unknown_elements_;
    String file_type_;
};

// An empty grouping node.
class NodeDummy : public Node
{
public:
    static Ptr<NodeDummy> create();

protected:
    NodeDummy()
        : Node(NODE_DUMMY)
    {}
    Ptr<Node> cloneSelf() const override;
};

// A node that shows the contents of a node file. The contents are a separate
// tree (getReference()), drawn under this node and never saved with the world.
class NodeReference : public Node
{
public:
    // path: data-relative path or GUID text of a .node file. An unreadable
    // file gives a reference with no contents and one error line.
    static Ptr<NodeReference> create(const char *path);
    ~NodeReference() override;

    const char *getNodePath() const { return path_.get(); }
    // Sets the path and loads its contents again.
    bool setNodePath(const char *path);
    bool reload();
    // Root of the loaded contents (several roots are wrapped in a NodeDummy);
    // null when the file could not be loaded.
    Ptr<Node> getReference() const { return reference_; }

    BoundBox getBoundBox() const override;

protected:
    NodeReference()
        : Node(NODE_REFERENCE)
    {}
    Ptr<Node> cloneSelf() const override;

private:
    String path_;
    Ptr<Node> reference_;
};

// A node holding an expression text (kept, never run).
class WorldExpression : public Node
{
public:
    static Ptr<WorldExpression> create();
    const char *getExpression() const { return expression_.get(); }
    void setExpression(const char *expression) { expression_ = expression; }

protected:
    WorldExpression()
        : Node(WORLD_EXPRESSION)
    {}
    Ptr<Node> cloneSelf() const override;

private:
    String expression_;
};

} // namespace Velmora
