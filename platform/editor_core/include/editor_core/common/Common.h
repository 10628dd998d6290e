#pragma once

#include <velmora/Material.h>
#include <velmora/Node.h>
#include <velmora/Ptr.h>

#include <QString>
#include <QVector>

// Small helpers of the editor over the loaded world.
namespace Common {

// The nodes of the loaded world (roots and descendants, depth first) whose
// name is exactly name; empty when no world is loaded or name is empty.
// Main thread only.
QVector<Velmora::Ptr<Velmora::Node>> getEditorNodesByName(const QString &name);

// Every node of the loaded world (roots and descendants, depth first);
// empty when no world is loaded. Main thread only.
QVector<Velmora::Ptr<Velmora::Node>> getEditorNodes();

// Gives every surface of an object node the material. Nodes that are not
// objects and a null material are left as they are; false then.
bool setObjectMaterial(const Velmora::Ptr<Velmora::Node> &node, const Velmora::Ptr<Velmora::Material> &material);

} // namespace Common
