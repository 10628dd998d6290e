#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/modules/xml_module.h"

namespace mat {
class Manager;
}

namespace inas {
namespace parser {

// Render settings files (type 14), read with RenderSettingsParser.
class RenderSettingsModule : public XmlModule
{
public:
    RenderSettingsModule(const mat::Manager *materials, std::shared_ptr<const GuidProcessorBase> guid_processor);

protected:
    void parse(const Velmora::Xml &root, Item &item) override;

private:
    const mat::Manager *materials_;
    std::shared_ptr<const GuidProcessorBase> guid_processor_;
};

} // namespace parser
} // namespace inas
