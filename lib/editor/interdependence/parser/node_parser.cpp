#include "editor/interdependence/parser/node_parser.h"

#include "editor/interdependence/parser/items/node.h"
#include "editor/interdependence/parser/material_xml_parser.h"

#include <editor_core/base/Assert.h>

#include <velmora/Xml.h>

#include <cstring>
#include <utility>

namespace inas {
namespace parser {

NodeParser::NodeParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor, Item *item)
    : GuidParser(guid_processor, item)
    , materials_(materials)
    , node_item_(dynamic_cast<items::Node *>(item))
{
    EC_ASSERT(materials_);
    found_ = [this](const Velmora::UGUID &guid) { onFound(guid); };
    missing_ = [this](const Velmora::UGUID &guid, int) { onMissing(guid); };
}

void NodeParser::visitElement(const Velmora::Xml &element)
{
    NodeRecord record;
    bool opened = false;
    if (node_item_ && std::strcmp(element.getName(), "node") == 0 && element.findArg("name") != -1) {
        record.name = element.getArg("name");
        if (element.findArg("id") != -1)
            record.id = element.getIntArg("id");
        node_stack_.push_back({&record.dependents, &record.lost});
        opened = true;
    }

    XmlParser::visitElement(element);

    if (opened && !node_stack_.empty() && node_stack_.back().dependents == &record.dependents) {
        node_stack_.pop_back();
        if (!record.dependents.empty() || !record.lost.empty())
            node_item_->getNodeRecords().push_back(std::move(record));
    }
}

bool NodeParser::visitData(const Velmora::Xml &element)
{
    if (XmlParser::visitData(element))
        return true;
    const char *data = element.getData();
    if (!*data)
        return false;
    const char *name = element.getName();
    if (std::strcmp(name, "path") == 0) {
        if (!node_item_)
            return false;
        node_item_->getPaths().insert(Velmora::String(data));
        return true;
    }
    if (std::strcmp(name, "expression") == 0)
        return matchContained(data);
    if (std::strstr(name, "material"))
        reportMaterialList(materials_, data, found_);
    return false;
}

bool NodeParser::onValue(const char *text)
{
    return processValue(text);
}

void NodeParser::onFound(const Velmora::UGUID &guid)
{
    if (!node_stack_.empty())
        node_stack_.back().dependents->insert(guid);
    else if (node_item_)
        node_item_->getRootDependents().insert(guid);
    item_->getDependents().insert(guid);
}

void NodeParser::onMissing(const Velmora::UGUID &guid)
{
    if (!node_stack_.empty())
        node_stack_.back().lost->insert(guid);
    else if (node_item_)
        node_item_->getRootLost().insert(guid);
    item_->getLost().insert(guid);
}

} // namespace parser
} // namespace inas
