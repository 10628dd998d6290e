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
// embedded asset paths. For a hierarchy item the parent arguments of the
// material node give its parent and, as with the root attributes of XML
// materials, are not offered to the resolver.
class MaterialFeskParser : public FeskParser, public GuidParser
{
public:
    MaterialFeskParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor, Item *item);

    void parse(const Velmora::FeskNode &root) override;

protected:
    bool visitValue(const Velmora::FeskNode &node, const Velmora::FeskValue &value) override;
    bool visitArg(const Velmora::FeskNode &node, const char *name, const Velmora::FeskValue &value) override;
    bool onValue(const char *text) override;

private:
    const mat::Manager *materials_;
    // The material node whose parent arguments were read; null when the item
    // is not a hierarchy item.
    const Velmora::FeskNode *material_node_ = nullptr;
};

} // namespace parser
} // namespace inas
