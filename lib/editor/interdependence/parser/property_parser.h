#pragma once

#include "editor/interdependence/parser/guid_parser.h"
#include "editor/interdependence/parser/xml_parser.h"

#include <velmora/UGUID.h>

namespace prop {
class Manager;
}

namespace inas {
namespace parser {

// The property GUID a text names (GUID text of a property or of its file, or
// an exact property name); empty when none.
Velmora::UGUID findPropertyGuid(const prop::Manager *properties, const char *text);
// The parent of a property root: its attribute "parent" (GUID text), else
// "parent_name", resolved with findPropertyGuid; empty when neither exists.
Velmora::UGUID readPropertyParent(const prop::Manager *properties, const Velmora::Xml &root);

// Property files: the root's attributes give the parent of a hierarchy item
// and are not offered to the resolver; everything below the root is.
class PropertyParser : public XmlParser, public GuidParser
{
public:
    PropertyParser(const prop::Manager *properties, const GuidProcessorBase *guid_processor, Item *item);

    void parse(const Velmora::Xml &root) override;

protected:
    bool onValue(const char *text) override;

private:
    const prop::Manager *properties_;
};

} // namespace parser
} // namespace inas
