#pragma once

#include "editor/interdependence/parser/parser_output.h"

#include <velmora/UGUID.h>

#include <memory>

namespace inas {
class ItemArena;

namespace parser {

// Makes the item of an asset or runtime from its id and asset type number.
// A null result means that no item is made.
class ItemBuilder
{
public:
    virtual ~ItemBuilder() = default;
    virtual ItemPtr build(const Velmora::UGUID &id, int type) = 0;
    // The arena that every item made here keeps alive, or null. The threads
    // that fill the items' sets take their memory from arenas of its own.
    virtual std::shared_ptr<ItemArena> arena() const { return nullptr; }
};

} // namespace parser
} // namespace inas
