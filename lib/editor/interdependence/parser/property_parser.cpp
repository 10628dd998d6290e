#include "editor/interdependence/parser/property_parser.h"

#include "editor/interdependence/parser/items/hierarchy.h"
#include "editor/interdependence/parser/utils.h"

#include <editor_core/base/Assert.h>
#include <editor_core/prop/Manager.h>

#include <velmora/Property.h>
#include <velmora/Xml.h>

namespace inas {
namespace parser {

Velmora::UGUID findPropertyGuid(const prop::Manager *properties, const char *text)
{
    if (!text || !*text)
        return Velmora::UGUID();
    const Velmora::UGUID guid = utils::tryConvertToGuid(text);
    const Velmora::Ptr<Velmora::Property> property
            = guid.isValid() ? properties->find(guid) : properties->find(Velmora::String(text));
    return property ? property->getGUID() : Velmora::UGUID();
}

Velmora::UGUID readPropertyParent(const prop::Manager *properties, const Velmora::Xml &root)
{
    for (const char *name : {"parent", "parent_name"}) {
        if (root.findArg(name) != -1)
            return findPropertyGuid(properties, root.getArg(name));
    }
    return Velmora::UGUID();
}

PropertyParser::PropertyParser(const prop::Manager *properties, const GuidProcessorBase *guid_processor, Item *item)
    : GuidParser(guid_processor, item)
    , properties_(properties)
{
    EC_ASSERT(properties_);
}

void PropertyParser::parse(const Velmora::Xml &root)
{
    if (auto *hierarchy = dynamic_cast<items::Hierarchy *>(item_)) {
        const Velmora::UGUID parent = readPropertyParent(properties_, root);
        if (parent.isValid())
            hierarchy->setParentId(parent);
    }
    for (int i = 0; i < root.getNumChildren(); ++i)
        visitElement(*root.getChild(i));
}

bool PropertyParser::onValue(const char *text)
{
    return processValue(text);
}

} // namespace parser
} // namespace inas
