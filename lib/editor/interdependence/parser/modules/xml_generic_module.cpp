#include "editor/interdependence/parser/modules/xml_generic_module.h"

#include "editor/interdependence/parser/xml_generic_parser.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace inas {
namespace parser {

XmlGenericModule::XmlGenericModule(std::shared_ptr<const GuidProcessorBase> guid_processor)
    : guid_processor_(std::move(guid_processor))
{
    EC_ASSERT(guid_processor_);
}

void XmlGenericModule::parse(const Velmora::Xml &root, Item &item)
{
    XmlGenericParser parser(guid_processor_.get(), &item);
    parser.parse(root);
}

} // namespace parser
} // namespace inas
