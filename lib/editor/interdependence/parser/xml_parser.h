#pragma once

namespace Velmora {
class Xml;
}

namespace inas {
namespace parser {

// Walker over an engine XML tree. By default every element's data text and
// every attribute value, in document order, is offered to onValue:
// visitElement runs visitData, then visitArg for each attribute, then
// visitElement for each child.
class XmlParser
{
public:
    virtual ~XmlParser() = default;
    virtual void parse(const Velmora::Xml &root);

protected:
    virtual void visitElement(const Velmora::Xml &element);
    virtual bool visitData(const Velmora::Xml &element);
    virtual bool visitArg(const Velmora::Xml &element, int index);
    virtual bool onValue(const char *text) = 0;
};

} // namespace parser
} // namespace inas
