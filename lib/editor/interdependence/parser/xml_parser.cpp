#include "editor/interdependence/parser/xml_parser.h"

#include <velmora/Xml.h>

namespace inas {
namespace parser {

void XmlParser::parse(const Velmora::Xml &root)
{
    visitElement(root);
}

void XmlParser::visitElement(const Velmora::Xml &element)
{
    visitData(element);
    for (int i = 0; i < element.getNumArgs(); ++i)
        visitArg(element, i);
    for (int i = 0; i < element.getNumChildren(); ++i)
        visitElement(*element.getChild(i));
}

bool XmlParser::visitData(const Velmora::Xml &element)
{
    return onValue(element.getData());
}

bool XmlParser::visitArg(const Velmora::Xml &element, int index)
{
    return onValue(element.getArgValue(index));
}

} // namespace parser
} // namespace inas
