#include "editor/interdependence/parser/render_settings_parser.h"

#include "editor/interdependence/parser/material_xml_parser.h"

#include <editor_core/base/Assert.h>

#include <velmora/Xml.h>

#include <cstring>

namespace inas {
namespace parser {

RenderSettingsParser::RenderSettingsParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor,
                                           Item *item)
    : GuidParser(guid_processor, item)
    , materials_(materials)
{
    EC_ASSERT(materials_);
}

bool RenderSettingsParser::visitData(const Velmora::Xml &element)
{
    if (XmlParser::visitData(element))
        return true;
    if (std::strstr(element.getName(), "material"))
        reportMaterialList(materials_, element.getData(), found_);
    return false;
}

bool RenderSettingsParser::onValue(const char *text)
{
    return processValue(text);
}

} // namespace parser
} // namespace inas
