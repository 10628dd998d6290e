#pragma once

#include "editor/interdependence/parser/output.h"

#include <velmora/UGUID.h>

namespace inas {
namespace parser {

// Makes the item of an asset or runtime from its id and asset type number.
// A null result means that no item is made.
class ItemBuilder
{
public:
    virtual ~ItemBuilder() = default;
    virtual ItemPtr build(const Velmora::UGUID &id, int type) = 0;
};

} // namespace parser
} // namespace inas
