#pragma once

#include "editor/interdependence/parser/fesk_parser.h"
#include "editor/interdependence/parser/guid_parser.h"

#include <velmora/UGUID.h>

namespace mat {
class Manager;
}

namespace inas {
namespace parser {

// The parent of a FESK material: the first "Material" node among the root's
// children, and of its arguments "parent" (GUID text), "parent_name" and
// "base_material" the first that exists, resolved with findMaterialGuid;
// empty when none.
Velmora::UGUID readFeskMaterialParent(const mat::Manager *materials, const Velmora::FeskNode &root);

// FESK material files: the base walk, plus the values of "Expression" nodes
// and of nodes with a true "expression" argument, which are searched for
// embedded asset paths. Every argument goes to the resolver, the material's
// parent arguments included, so that a FESK material's parent is one of the
// assets it uses (the material module records it as the parent as well).
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
