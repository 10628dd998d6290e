#pragma once

#include "editor/interdependence/parser/guid_parser.h"
#include "editor/interdependence/parser/xml_parser.h"

namespace mat {
class Manager;
}
namespace prop {
class Manager;
}

namespace inas {
namespace parser {

// Track files: the base walk, plus the materials and properties that
// "parameter" elements animate: by their "name" attribute for the types
// "material.*" and "property.*", by the data of their direct "key" children
// for "node.object.material" and "node.object.property".
class TrackParser : public XmlParser, public GuidParser
{
public:
    TrackParser(const mat::Manager *materials, const prop::Manager *properties, const GuidProcessorBase *guid_processor,
                Item *item);

protected:
    void visitElement(const Velmora::Xml &element) override;
    bool onValue(const char *text) override;

private:
    void reportNamed(const Velmora::UGUID &guid);

    const mat::Manager *materials_;
    const prop::Manager *properties_;
};

} // namespace parser
} // namespace inas
