#pragma once

#include "editor/interdependence/analyzer/analyzer_item.h"

#include <cstddef>
#include <memory>

namespace inas {
namespace analyzer {

// The analyzer items of one run in one allocation. Each position is filled
// once (positions apart may be filled from different threads at the same
// time); the items are destroyed in position order with the block, which
// the ItemPtrs handed out (at) keep alive.
class ItemBlock
{
public:
    // Every position must be filled before the block goes.
    explicit ItemBlock(size_t count);
    ~ItemBlock();
    ItemBlock(const ItemBlock &) = delete;
    ItemBlock &operator=(const ItemBlock &) = delete;

    void fill(size_t position, parser::ItemPtr parser_item);
    // The item at a filled position, sharing the ownership of block.
    static ItemPtr at(const std::shared_ptr<ItemBlock> &block, size_t position);
    size_t size() const { return count_; }
    // The items, position 0 first.
    Item *data() const { return items_; }

private:
    size_t count_;
    Item *items_;
};

} // namespace analyzer
} // namespace inas
