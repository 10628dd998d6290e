#pragma once

#include "editor/interdependence/parser/guid_parser.h"
#include "editor/interdependence/parser/xml_parser.h"

namespace inas {
namespace parser {

// Any XML asset (layers, splines, curves): every data text and attribute
// value goes to the resolver.
class XmlGenericParser : public XmlParser, public GuidParser
{
public:
    XmlGenericParser(const GuidProcessorBase *guid_processor, Item *item);

protected:
    bool onValue(const char *text) override;
};

} // namespace parser
} // namespace inas
