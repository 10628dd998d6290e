#include "editor/interdependence/parser/material_fesk_parser.h"

#include "editor/interdependence/parser/items/hierarchy.h"
#include "editor/interdependence/parser/material_xml_parser.h"

#include <editor_core/base/Assert.h>

#include <velmora/Fesk.h>

#include <cstring>

namespace inas {
namespace parser {

namespace {

const char *const PARENT_ARGS[] = {"parent", "parent_name", "base_material"};

bool isParentArg(const char *name)
{
    for (const char *parent : PARENT_ARGS) {
        if (std::strcmp(name, parent) == 0)
            return true;
    }
    return false;
}

} // namespace

Velmora::UGUID readFeskMaterialParent(const mat::Manager *materials, const Velmora::FeskNode &root)
{
    const Velmora::FeskNode *material = root.findChild("Material");
    if (!material)
        return Velmora::UGUID();
    for (const char *name : PARENT_ARGS) {
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

void MaterialFeskParser::parse(const Velmora::FeskNode &root)
{
    material_node_ = nullptr;
    if (auto *hierarchy = dynamic_cast<items::Hierarchy *>(item_)) {
        material_node_ = root.findChild("Material");
        const Velmora::UGUID parent = readFeskMaterialParent(materials_, root);
        if (parent.isValid())
            hierarchy->setParentId(parent);
    }
    FeskParser::parse(root);
}

bool MaterialFeskParser::visitValue(const Velmora::FeskNode &node, const Velmora::FeskValue &value)
{
    if (FeskParser::visitValue(node, value))
        return true;
    if (std::strcmp(node.getType(), "Expression") == 0 || node.getArgBool("expression", false))
        return matchContained(value.getString());
    return false;
}

bool MaterialFeskParser::visitArg(const Velmora::FeskNode &node, const char *name, const Velmora::FeskValue &value)
{
    if (&node == material_node_ && isParentArg(name))
        return false;
    return FeskParser::visitArg(node, name, value);
}

bool MaterialFeskParser::onValue(const char *text)
{
    return processValue(text);
}

} // namespace parser
} // namespace inas
