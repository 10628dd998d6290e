#include "editor/interdependence/parser/fesk_parser.h"

#include <velmora/Fesk.h>

namespace inas {
namespace parser {

void FeskParser::parse(const Velmora::FeskNode &root)
{
    visitNode(root);
}

void FeskParser::visitNode(const Velmora::FeskNode &node)
{
    visitValue(node, node.getValue());
    for (int i = 0; i < node.getNumArgs(); ++i) {
        const Velmora::FeskArg &arg = node.getArg(i);
        visitArg(node, arg.getName(), arg.getValue());
    }
    onValue(node.getCondition());
    for (int i = 0; i < node.getNumChildren(); ++i)
        visitNode(*node.getChild(i));
}

bool FeskParser::visitValue(const Velmora::FeskNode & /*node*/, const Velmora::FeskValue &value)
{
    if (!value.isArray())
        return onValue(value.getString());
    for (int i = 0; i < value.size(); ++i)
        onValue(value.get(i));
    return false;
}

bool FeskParser::visitArg(const Velmora::FeskNode &node, const char * /*name*/, const Velmora::FeskValue &value)
{
    return FeskParser::visitValue(node, value);
}

} // namespace parser
} // namespace inas
