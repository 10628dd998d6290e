#include "editor/interdependence/parser/material_fesk_parser.h"

#include "editor/interdependence/parser/material_xml_parser.h"

#include <editor_core/base/Assert.h>

#include <velmora/Fesk.h>

#include <cstring>

namespace inas {
namespace parser {

Velmora::UGUID readFeskMaterialParent(const mat::Manager *materials, const Velmora::FeskNode &root)
{
    const Velmora::FeskNode *material = root.findChild("Material");
    if (!material)
        return Velmora::UGUID();
    for (const char *name : {"parent", "parent_name", "base_material"}) {
        if (material->findArg(name) != -1)
            return findMaterialGuid(materials, material->getArgValue(name));
    }
    return Velmora::UGUID();
}

MaterialFeskParser::MaterialFeskParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor,
                                       Item *item)
    : GuidParser(guid_processor, item)
    , materials_(materials)
{
    EC_ASSERT(materials_);
}

bool MaterialFeskParser::visitValue(const Velmora::FeskNode &node, const Velmora::FeskValue &value)
{
    if (FeskParser::visitValue(node, value))
        return true;
    if (std::strcmp(node.getType(), "Expression") == 0 || node.getArgBool("expression", false))
        return matchContained(value.getString());
    return false;
}

bool MaterialFeskParser::onValue(const char *text)
{
    return processValue(text);
}

} // namespace parser
} // namespace inas
