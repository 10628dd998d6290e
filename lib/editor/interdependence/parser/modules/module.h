#pragma once

#include <memory>

namespace inas {
namespace parser {

class Item;

// Reads one kind of asset file into the item of its asset.
class Module
{
public:
    virtual ~Module() = default;
    // path: the file's absolute path in UTF-8.
    virtual void process(const char *path, Item &item) = 0;
};

using ModulePtr = std::shared_ptr<Module>;

} // namespace parser
} // namespace inas
