#include "editor/interdependence/parser/modules/property_module.h"

#include "editor/interdependence/parser/property_parser.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace inas {
namespace parser {

PropertyModule::PropertyModule(const prop::Manager *properties, std::shared_ptr<const GuidProcessorBase> guid_processor)
    : properties_(properties)
    , guid_processor_(std::move(guid_processor))
{
    EC_ASSERT(properties_ && guid_processor_);
}

void PropertyModule::parse(const Velmora::Xml &root, Item &item)
{
    PropertyParser parser(properties_, guid_processor_.get(), &item);
    parser.parse(root);
}

} // namespace parser
} // namespace inas
