#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace inas {

// Memory for the many small records of one analysis (its items): an
// allocation moves a pointer on, freeing a record does nothing, and the
// memory goes back in a few large blocks once the arena itself goes (see
// ArenaAllocator: every record keeps the arena alive). Allocation from one
// thread at a time.
class ItemArena
{
public:
    ItemArena();
    ~ItemArena();
    ItemArena(const ItemArena &) = delete;
    ItemArena &operator=(const ItemArena &) = delete;

    void *allocate(size_t bytes, size_t alignment);

private:
    static constexpr size_t BLOCK_SIZE = 1 << 20;

    std::vector<std::unique_ptr<char[]>> blocks_;
    char *next_ = nullptr;
    size_t left_ = 0;
};

} // namespace inas
