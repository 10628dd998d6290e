#include "editor/interdependence/parser/xml_generic_parser.h"

namespace inas {
namespace parser {

XmlGenericParser::XmlGenericParser(const GuidProcessorBase *guid_processor, Item *item)
    : GuidParser(guid_processor, item)
{}

bool XmlGenericParser::onValue(const char *text)
{
    return processValue(text);
}

} // namespace parser
} // namespace inas
