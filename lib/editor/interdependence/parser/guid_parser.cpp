#include "editor/interdependence/parser/guid_parser.h"

#include "editor/interdependence/parser/parser_item.h"

#include <editor_core/base/Assert.h>

namespace inas {
namespace parser {

GuidParser::GuidParser(const GuidProcessorBase *guid_processor, Item *item)
    : guid_processor_(guid_processor)
    , item_(item)
    , found_([item](const Velmora::UGUID &guid) { item->getDependents().insert(guid); })
    , missing_([item](const Velmora::UGUID &guid, int) { item->getLost().insert(guid); })
{
    EC_ASSERT(guid_processor_ && item_);
}

bool GuidParser::processValue(const char *text)
{
    return guid_processor_->process(text, found_, missing_);
}

bool GuidParser::matchSuffix(const char *text)
{
    return guid_processor_->matchSuffix(text, found_);
}

bool GuidParser::matchContained(const char *text)
{
    return guid_processor_->matchContained(text, found_);
}

} // namespace parser
} // namespace inas
