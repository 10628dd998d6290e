#pragma once

#include "editor/interdependence/parser/parser_output.h"

#include <memory>

namespace inas {
namespace analyzer {

// The analyzer's record of one parser item. The analyzer adds the implicit
// uses to the parser item it holds; the combiners read them from there.
class Item
{
public:
    explicit Item(parser::ItemPtr parser_item);
    virtual ~Item();
    Item(const Item &) = delete;
    Item &operator=(const Item &) = delete;

    const parser::ItemPtr &getParserData() const { return parser_data_; }

private:
    parser::ItemPtr parser_data_;
};

using ItemPtr = std::shared_ptr<Item>;

} // namespace analyzer
} // namespace inas
