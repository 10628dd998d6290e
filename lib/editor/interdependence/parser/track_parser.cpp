#include "editor/interdependence/parser/track_parser.h"

#include "editor/interdependence/parser/material_xml_parser.h"
#include "editor/interdependence/parser/property_parser.h"

#include <editor_core/base/Assert.h>

#include <velmora/Xml.h>

#include <cstring>

namespace inas {
namespace parser {

namespace {

bool startsWith(const char *text, const char *prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

} // namespace

TrackParser::TrackParser(const mat::Manager *materials, const prop::Manager *properties,
                         const GuidProcessorBase *guid_processor, Item *item)
    : GuidParser(guid_processor, item)
    , materials_(materials)
    , properties_(properties)
{
    EC_ASSERT(materials_ && properties_);
}

void TrackParser::visitElement(const Velmora::Xml &element)
{
    XmlParser::visitElement(element);

    if (std::strcmp(element.getName(), "parameter") != 0 || element.findArg("type") == -1)
        return;
    const char *type = element.getArg("type");
    const bool has_name = element.findArg("name") != -1;
    if (startsWith(type, "material.")) {
        if (has_name)
            reportNamed(findMaterialGuid(materials_, element.getArg("name")));
    } else if (startsWith(type, "property.")) {
        if (has_name)
            reportNamed(findPropertyGuid(properties_, element.getArg("name")));
    } else if (std::strcmp(type, "node.object.material") == 0 || std::strcmp(type, "node.object.property") == 0) {
        const bool material = std::strcmp(type, "node.object.material") == 0;
        for (int i = 0; i < element.getNumChildren(); ++i) {
            const Velmora::Xml *key = element.getChild(i);
            if (std::strcmp(key->getName(), "key") != 0)
                continue;
            reportNamed(material ? findMaterialGuid(materials_, key->getData())
                                 : findPropertyGuid(properties_, key->getData()));
        }
    }
}

bool TrackParser::onValue(const char *text)
{
    return processValue(text);
}

void TrackParser::reportNamed(const Velmora::UGUID &guid)
{
    if (guid.isValid())
        found_(guid);
}

} // namespace parser
} // namespace inas
