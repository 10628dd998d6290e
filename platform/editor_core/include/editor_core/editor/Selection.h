#pragma once

#include <velmora/Node.h>
#include <velmora/Ptr.h>
#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QObject>

#include <memory>

namespace Editor {

// What is selected: a set of nodes (type 0) or of asset/runtime GUIDs
// (type 1).
class Selector
{
public:
    enum Type {
        TYPE_NODES = 0,
        TYPE_GUIDS = 1,
    };
    virtual ~Selector() = default;
    virtual int type() const = 0;
    virtual Selector *clone() const = 0;
    virtual bool isEmpty() const = 0;
    virtual bool equals(const Selector &other) const = 0;
};

class SelectorNodes : public Selector
{
public:
    SelectorNodes() = default;
    explicit SelectorNodes(const Velmora::Vector<Velmora::Ptr<Velmora::Node>> &nodes);

    static SelectorNodes *createObjectsSelector(const Velmora::Vector<Velmora::Ptr<Velmora::Node>> &nodes);

    int type() const override { return TYPE_NODES; }
    SelectorNodes *clone() const override;
    bool isEmpty() const override;
    bool equals(const Selector &other) const override;

    // The selected nodes that still exist, in selection order.
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> getNodes() const;
    // Adds nodes not selected yet.
    void extend(const Velmora::Vector<Velmora::Ptr<Velmora::Node>> &nodes);
    void extend(const Velmora::Ptr<Velmora::Node> &node);
    // Removes a node; true when it was selected.
    bool exclude(const Velmora::Ptr<Velmora::Node> &node);
    bool contains(const Velmora::Ptr<Velmora::Node> &node) const;

private:
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> nodes_;
};

class SelectorGUIDs : public Selector
{
public:
    SelectorGUIDs() = default;
    explicit SelectorGUIDs(const Velmora::Vector<Velmora::UGUID> &guids);

    // A selector of runtimes; accepts asset and runtime GUIDs (empty GUIDs
    // and repeats are dropped).
    static SelectorGUIDs *createRuntimesSelector(const Velmora::Vector<Velmora::UGUID> &guids);

    int type() const override { return TYPE_GUIDS; }
    SelectorGUIDs *clone() const override;
    bool isEmpty() const override { return guids_.isEmpty(); }
    bool equals(const Selector &other) const override;

    const Velmora::Vector<Velmora::UGUID> &getGUIDs() const { return guids_; }

private:
    Velmora::Vector<Velmora::UGUID> guids_;
};

// The editor's selection: one current selector (or none). instance() is the
// most recently made selection that still exists.
class Selection : public QObject
{
    Q_OBJECT

public:
    explicit Selection(QObject *parent = nullptr);
    ~Selection() override;

    static Selection *instance();

    // The current selector, null when nothing is selected.
    static Selector *getSelector();
    // The current selector when it selects nodes, else null.
    static SelectorNodes *getSelectorNodes();
    static SelectorGUIDs *getSelectorGUIDs();
    // Empties the selection (emits changed when something was selected).
    static void clear();

    // Replaces the selector (takes ownership; null = empty) and emits changed.
    void setSelector(Selector *selector);
    Selector *selector() const { return selector_.get(); }

signals:
    void changed();

private:
    std::unique_ptr<Selector> selector_;
};

} // namespace Editor
