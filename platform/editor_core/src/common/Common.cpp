#include "editor_core/common/Common.h"

#include <velmora/Vector.h>
#include <velmora/World.h>

namespace Common {

QVector<Velmora::Ptr<Velmora::Node>> getEditorNodesByName(const QString &name)
{
    QVector<Velmora::Ptr<Velmora::Node>> found;
    if (name.isEmpty() || !Velmora::World::isLoaded())
        return found;
    const QByteArray utf8 = name.toUtf8();
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> nodes;
    Velmora::World::getNodes(nodes);
    for (const Velmora::Ptr<Velmora::Node> &node : nodes) {
        if (node && utf8 == node->getName())
            found.append(node);
    }
    return found;
}

QVector<Velmora::Ptr<Velmora::Node>> getEditorNodes()
{
    QVector<Velmora::Ptr<Velmora::Node>> found;
    if (!Velmora::World::isLoaded())
        return found;
    Velmora::Vector<Velmora::Ptr<Velmora::Node>> nodes;
    Velmora::World::getNodes(nodes);
    found.reserve(nodes.size());
    for (const Velmora::Ptr<Velmora::Node> &node : nodes)
        if (node)
            found.append(node);
    return found;
}

} // namespace Common
