#include "editor_core/editor/Selection.h"

#include <QVector>

namespace Editor {

SelectorNodes::SelectorNodes(const Velmora::Vector<Velmora::Ptr<Velmora::Node>> &nodes)
{
    extend(nodes);
}

SelectorNodes *SelectorNodes::createObjectsSelector(const Velmora::Vector<Velmora::Ptr<Velmora::Node>> &nodes)
{
    return new SelectorNodes(nodes);
}

SelectorNodes *SelectorNodes::clone() const
{
    auto *copy = new SelectorNodes;
    copy->nodes_ = nodes_;
    return copy;
}

bool SelectorNodes::isEmpty() const
{
    return getNodes().isEmpty();
}

bool SelectorNodes::equals(const Selector &other) const
{
    if (other.type() != TYPE_NODES)
        return false;
    return getNodes() == static_cast<const SelectorNodes &>(other).getNodes();
}

Velmora::Vector<Velmora::Ptr<Velmora::Node>> SelectorNodes::getNodes() const
{
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> result;
    for (const Velmora::Ptr<Velmora::Node> &node : nodes_) {
        if (node)
            result.append(node);
    }
    return result;
}

void SelectorNodes::extend(const Velmora::Vector<Velmora::Ptr<Velmora::Node>> &nodes)
{
    for (const Velmora::Ptr<Velmora::Node> &node : nodes)
        extend(node);
}

void SelectorNodes::extend(const Velmora::Ptr<Velmora::Node> &node)
{
    if (node && !contains(node))
        nodes_.append(node);
}

bool SelectorNodes::exclude(const Velmora::Ptr<Velmora::Node> &node)
{
    if (!node)
        return false;
    const int index = nodes_.findIndex(node);
    if (index < 0)
        return false;
    nodes_.remove(index);
    return true;
}

bool SelectorNodes::contains(const Velmora::Ptr<Velmora::Node> &node) const
{
    return node && nodes_.contains(node);
}

SelectorGUIDs::SelectorGUIDs(const Velmora::Vector<Velmora::UGUID> &guids)
{
    for (const Velmora::UGUID &guid : guids) {
        if (!guid.isEmpty() && !guids_.contains(guid))
            guids_.append(guid);
    }
}

SelectorGUIDs *SelectorGUIDs::createRuntimesSelector(const Velmora::Vector<Velmora::UGUID> &guids)
{
    return new SelectorGUIDs(guids);
}

SelectorGUIDs *SelectorGUIDs::clone() const
{
    return new SelectorGUIDs(guids_);
}

bool SelectorGUIDs::equals(const Selector &other) const
{
    return other.type() == TYPE_GUIDS && static_cast<const SelectorGUIDs &>(other).guids_ == guids_;
}

namespace {
QVector<Selection *> g_selections;
}

Selection::Selection(QObject *parent)
    : QObject(parent)
{
    g_selections.append(this);
}

Selection::~Selection()
{
    g_selections.removeAll(this);
}

Selection *Selection::instance()
{
    return g_selections.isEmpty() ? nullptr : g_selections.last();
}

Selector *Selection::getSelector()
{
    Selection *selection = instance();
    return selection ? selection->selector_.get() : nullptr;
}

SelectorNodes *Selection::getSelectorNodes()
{
    Selector *selector = getSelector();
    return selector && selector->type() == Selector::TYPE_NODES ? static_cast<SelectorNodes *>(selector) : nullptr;
}

SelectorGUIDs *Selection::getSelectorGUIDs()
{
    Selector *selector = getSelector();
    return selector && selector->type() == Selector::TYPE_GUIDS ? static_cast<SelectorGUIDs *>(selector) : nullptr;
}

void Selection::clear()
{
    if (Selection *selection = instance())
        selection->setSelector(nullptr);
}

void Selection::setSelector(Selector *selector)
{
    std::unique_ptr<Selector> next(selector);
    if (next && next->isEmpty())
        next.reset();
    const bool same = (!next && !selector_) || (next && selector_ && next->equals(*selector_));
    selector_ = std::move(next);
    if (!same)
        emit changed();
}

} // namespace Editor
