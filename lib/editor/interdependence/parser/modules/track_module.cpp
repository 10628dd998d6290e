#include "editor/interdependence/parser/modules/track_module.h"

#include "editor/interdependence/parser/track_parser.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace inas {
namespace parser {

TrackModule::TrackModule(const mat::Manager *materials, const prop::Manager *properties,
                         std::shared_ptr<const GuidProcessorBase> guid_processor)
    : materials_(materials)
    , properties_(properties)
    , guid_processor_(std::move(guid_processor))
{
    EC_ASSERT(materials_ && properties_ && guid_processor_);
}

void TrackModule::parse(const Velmora::Xml &root, Item &item)
{
    TrackParser parser(materials_, properties_, guid_processor_.get(), &item);
    parser.parse(root);
}

} // namespace parser
} // namespace inas
