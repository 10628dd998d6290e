#include "editor/interdependence/parser/modules/node_module.h"

#include "editor/interdependence/parser/node_parser.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace inas {
namespace parser {

NodeModule::NodeModule(const mat::Manager *materials, std::shared_ptr<const GuidProcessorBase> guid_processor)
    : materials_(materials)
    , guid_processor_(std::move(guid_processor))
{
    EC_ASSERT(materials_ && guid_processor_);
}

void NodeModule::parse(const Velmora::Xml &root, Item &item)
{
    NodeParser parser(materials_, guid_processor_.get(), &item);
    parser.parse(root);
}

} // namespace parser
} // namespace inas
