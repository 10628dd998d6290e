#pragma once

#include "editor/interdependence/parser/guid_parser.h"
#include "editor/interdependence/parser/xml_parser.h"

namespace mat {
class Manager;
}

namespace inas {
namespace parser {

// Render settings files: the base walk, plus comma lists of material names
// or GUIDs in elements whose name contains "material".
class RenderSettingsParser : public XmlParser, public GuidParser
{
public:
    RenderSettingsParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor, Item *item);

protected:
    bool visitData(const Velmora::Xml &element) override;
    bool onValue(const char *text) override;

private:
    const mat::Manager *materials_;
};

} // namespace parser
} // namespace inas
