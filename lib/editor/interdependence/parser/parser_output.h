#pragma once

#include "editor/interdependence/parser/parser_item.h"

#include <memory>
#include <vector>

namespace inas {
namespace parser {

using ItemPtr = std::shared_ptr<Item>;

// The parser's result: every item in creation order (for each asset its own
// item, then the items of its runtimes).
class Output
{
public:
    Output();
    virtual ~Output();

    std::vector<ItemPtr> &getItems() { return items_; }
    const std::vector<ItemPtr> &getItems() const { return items_; }

private:
    std::vector<ItemPtr> items_;
};

} // namespace parser
} // namespace inas
