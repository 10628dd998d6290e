#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"

namespace inas {
namespace parser {

class Item;

// The base of every file parser that hands texts to the shared resolver and
// records the results in the item being parsed: by default found GUIDs go to
// the item's dependents and lost ones to its lost set. A parser may replace
// both callbacks after construction.
class GuidParser
{
public:
    // Neither pointer may be null; neither is owned.
    GuidParser(const GuidProcessorBase *guid_processor, Item *item);

    bool processValue(const char *text);
    bool matchSuffix(const char *text);
    bool matchContained(const char *text);

protected:
    const GuidProcessorBase *guid_processor_;
    Item *item_;
    FoundCallback found_;
    MissingCallback missing_;
};

} // namespace parser
} // namespace inas
