#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/modules/xml_module.h"

namespace prop {
class Manager;
}

namespace inas {
namespace parser {

// Property files (type 5), read with PropertyParser.
class PropertyModule : public XmlModule
{
public:
    PropertyModule(const prop::Manager *properties, std::shared_ptr<const GuidProcessorBase> guid_processor);

protected:
    void parse(const Velmora::Xml &root, Item &item) override;

private:
    const prop::Manager *properties_;
    std::shared_ptr<const GuidProcessorBase> guid_processor_;
};

} // namespace parser
} // namespace inas
