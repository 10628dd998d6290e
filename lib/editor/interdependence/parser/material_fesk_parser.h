#pragma once

#include "editor/interdependence/parser/fesk_parser.h"
#include "editor/interdependence/parser/guid_parser.h"

namespace mat {
class Manager;
}

namespace inas {
namespace parser {

// FESK material files: the base walk, plus the values of "Expression" nodes
// and of nodes with a true "expression" argument, which are searched for
// embedded asset paths. Every argument goes to the resolver, the material's
// parent arguments included, so that a FESK material's parent is one of the
// assets it uses.
class MaterialFeskParser : public FeskParser, public GuidParser
{
public:
    MaterialFeskParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor, Item *item);

protected:
    bool visitValue(const Velmora::FeskNode &node, const Velmora::FeskValue &value) override;
    bool onValue(const char *text) override;

private:
    const mat::Manager *materials_;
};

} // namespace parser
} // namespace inas
