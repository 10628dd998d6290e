#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/modules/xml_module.h"

namespace inas {
namespace parser {

// XML assets without rules of their own (layers 8, splines 15, curves 16),
// read with XmlGenericParser.
class XmlGenericModule : public XmlModule
{
public:
    explicit XmlGenericModule(std::shared_ptr<const GuidProcessorBase> guid_processor);

protected:
    void parse(const Velmora::Xml &root, Item &item) override;

private:
    std::shared_ptr<const GuidProcessorBase> guid_processor_;
};

} // namespace parser
} // namespace inas
