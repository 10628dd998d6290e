#include "editor_core/common/Common.h"

#include <velmora/Object.h>

namespace Common {

bool setObjectMaterial(const Velmora::Ptr<Velmora::Node> &node, const Velmora::Ptr<Velmora::Material> &material)
{
    if (!node || !material)
        return false;
    const Velmora::Ptr<Velmora::Object> object = node.cast<Velmora::Object>();
    if (!object)
        return false;
    object->setMaterial(material, -1);
    return true;
}

} // namespace Common
