#include "editor/interdependence/parser/modules/render_settings_module.h"

#include "editor/interdependence/parser/render_settings_parser.h"

#include <editor_core/base/Assert.h>

#include <utility>

namespace inas {
namespace parser {

RenderSettingsModule::RenderSettingsModule(const mat::Manager *materials,
                                           std::shared_ptr<const GuidProcessorBase> guid_processor)
    : materials_(materials)
    , guid_processor_(std::move(guid_processor))
{
    EC_ASSERT(materials_ && guid_processor_);
}

void RenderSettingsModule::parse(const Velmora::Xml &root, Item &item)
{
    RenderSettingsParser parser(materials_, guid_processor_.get(), &item);
    parser.parse(root);
}

} // namespace parser
} // namespace inas
