#include "editor/interdependence/analyzer/item_block.h"

#include <new>
#include <utility>

namespace inas {
namespace analyzer {

ItemBlock::ItemBlock(size_t count)
    : count_(count)
    , items_(std::allocator<Item>().allocate(count))
{}

ItemBlock::~ItemBlock()
{
    for (size_t i = 0; i < count_; ++i)
        items_[i].~Item();
    std::allocator<Item>().deallocate(items_, count_);
}

void ItemBlock::fill(size_t position, parser::ItemPtr parser_item)
{
    new (items_ + position) Item(std::move(parser_item));
}

ItemPtr ItemBlock::at(const std::shared_ptr<ItemBlock> &block, size_t position)
{
    return ItemPtr(block, block->items_ + position);
}

} // namespace analyzer
} // namespace inas
