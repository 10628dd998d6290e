#include "editor_core/prop/Manager.h"

#include <velmora/Properties.h>

namespace prop {

Manager::Manager(EditorLogic *logic, QObject *parent)
    : QObject(parent)
    , logic_(logic)
{
    loaded_ = Velmora::Properties::loadProperties();
}

Manager::~Manager() = default;

Velmora::Ptr<Velmora::Property> Manager::find(const Velmora::UGUID &guid) const
{
    if (guid.isEmpty())
        return Velmora::Ptr<Velmora::Property>();
    if (Velmora::Ptr<Velmora::Property> found = Velmora::Properties::findPropertyByGUID(guid))
        return found;
    // The asset GUID of a property file names its one property.
    for (int i = 0; i < Velmora::Properties::getNumProperties(); ++i) {
        Velmora::Ptr<Velmora::Property> property = Velmora::Properties::getProperty(i);
        if (property && property->getFileGUID() == guid)
            return property;
    }
    return Velmora::Ptr<Velmora::Property>();
}

Velmora::Ptr<Velmora::Property> Manager::find(const Velmora::String &name) const
{
    return find(name.get());
}

Velmora::Ptr<Velmora::Property> Manager::find(const char *name) const
{
    if (!name || !*name)
        return Velmora::Ptr<Velmora::Property>();
    return Velmora::Properties::findProperty(name);
}

} // namespace prop
