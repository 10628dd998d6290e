#include "editor_core/mat/Manager.h"

#include <velmora/Materials.h>

namespace mat {

Manager::Manager(EditorLogic *logic, QObject *parent)
    : QObject(parent)
    , logic_(logic)
{
    loaded_ = Velmora::Materials::loadMaterials();
}

Manager::~Manager() = default;

Velmora::Ptr<Velmora::Material> Manager::find(const Velmora::UGUID &guid) const
{
    if (guid.isEmpty())
        return Velmora::Ptr<Velmora::Material>();
    return Velmora::Materials::findMaterialByFileGUID(guid);
}

Velmora::Ptr<Velmora::Material> Manager::find(const Velmora::String &name) const
{
    return find(name.get());
}

Velmora::Ptr<Velmora::Material> Manager::find(const char *name) const
{
    if (!name || !*name)
        return Velmora::Ptr<Velmora::Material>();
    return Velmora::Materials::findMaterial(name);
}

} // namespace mat
