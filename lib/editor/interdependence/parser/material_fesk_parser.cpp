#include "editor/interdependence/parser/material_fesk_parser.h"

#include <editor_core/base/Assert.h>

#include <velmora/Fesk.h>

#include <cstring>

namespace inas {
namespace parser {

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
