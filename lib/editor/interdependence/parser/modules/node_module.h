#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/modules/xml_module.h"

namespace mat {
class Manager;
}

namespace inas {
namespace parser {

// Node and world files (types 1 and 18), node runtimes and the meta files of
// worlds, read with NodeParser.
class NodeModule : public XmlModule
{
public:
    NodeModule(const mat::Manager *materials, std::shared_ptr<const GuidProcessorBase> guid_processor);

protected:
    void parse(const Velmora::Xml &root, Item &item) override;

private:
    const mat::Manager *materials_;
    std::shared_ptr<const GuidProcessorBase> guid_processor_;
};

} // namespace parser
} // namespace inas
