#pragma once

#include "editor/interdependence/parser/guid_parser.h"
#include "editor/interdependence/parser/xml_parser.h"

#include <velmora/UGUID.h>

namespace mat {
class Manager;
}

namespace inas {
namespace parser {

// Material lookups shared by the parsers.

// The material GUID a text names: GUID text is looked up as a material or
// material file GUID, anything else as an exact material name. Empty when no
// material matches.
Velmora::UGUID findMaterialGuid(const mat::Manager *materials, const char *text);
// Splits text at every "," (the names are not trimmed) and calls found with the
// material GUID of every name that is a material, in order. Always false:
// callers that need to know whether anything was reported watch found.
bool reportMaterialList(const mat::Manager *materials, const char *text, const FoundCallback &found);
// The parent of a material root: the first of its attributes "parent" (GUID
// text), "parent_name" and "base_material" (names) that exists, resolved with
// findMaterialGuid; empty when none.
Velmora::UGUID readMaterialParent(const mat::Manager *materials, const Velmora::Xml &root);

// XML material files. The root's own attributes are never offered to the
// resolver; they give the parent of a hierarchy item. Below the root, a
// "texture" element's data that does not resolve is matched as a path
// suffix, and attributes whose name contains "material" hold comma lists of
// material names or GUIDs, of which the material itself and its parent are
// dropped.
class MaterialXmlParser : public XmlParser, public GuidParser
{
public:
    MaterialXmlParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor, Item *item);

    void parse(const Velmora::Xml &root) override;

protected:
    bool visitData(const Velmora::Xml &element) override;
    bool visitArg(const Velmora::Xml &element, int index) override;
    bool onValue(const char *text) override;

private:
    // Whether a material GUID is this material (its runtime GUID, or any
    // material defined by this item's file) or its parent.
    bool isSelfOrParent(const Velmora::UGUID &guid) const;

    const mat::Manager *materials_;
};

} // namespace parser
} // namespace inas
