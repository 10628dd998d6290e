#include "editor/application/process_arguments.h"

#include <cstring>

namespace Editor {

ProcessArguments::ProcessArguments(int argc, const char *const *argv)
    : argc_(argc > 0 ? argc : 0)
{
    strings_.reserve(size_t(argc_));
    pointers_.reserve(size_t(argc_) + 1);
    for (int i = 0; i < argc_; ++i) {
        const char *argument = argv[i] ? argv[i] : "";
        const size_t length = std::strlen(argument);
        strings_.emplace_back(new char[length + 1]);
        std::memcpy(strings_.back().get(), argument, length + 1);
        pointers_.push_back(strings_.back().get());
    }
    pointers_.push_back(nullptr);
}

} // namespace Editor
