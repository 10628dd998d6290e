#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/modules/xml_module.h"

namespace mat {
class Manager;
}
namespace prop {
class Manager;
}

namespace inas {
namespace parser {

// Track files (type 13), read with TrackParser.
class TrackModule : public XmlModule
{
public:
    TrackModule(const mat::Manager *materials, const prop::Manager *properties,
                std::shared_ptr<const GuidProcessorBase> guid_processor);

protected:
    void parse(const Velmora::Xml &root, Item &item) override;

private:
    const mat::Manager *materials_;
    const prop::Manager *properties_;
    std::shared_ptr<const GuidProcessorBase> guid_processor_;
};

} // namespace parser
} // namespace inas
