#pragma once

#include <memory>
#include <vector>

namespace Editor {

// The editor's own copy of the process arguments: argc UTF-8 strings and a
// terminating null, owned by this object and freed with it. On Linux the
// bytes are taken unchanged (they already are UTF-8). QApplication keeps
// the argument vector it is given and may reorder it while it takes out its
// own options, so the object must outlive the application, and the strings
// are freed from their own list, not from the vector.
class ProcessArguments
{
public:
    ProcessArguments(int argc, const char *const *argv);
    ProcessArguments(const ProcessArguments &) = delete;
    ProcessArguments &operator=(const ProcessArguments &) = delete;

    // What QApplication takes.
    int &argc() { return argc_; }
    char **argv() { return pointers_.data(); }

private:
    int argc_ = 0;
    std::vector<std::unique_ptr<char[]>> strings_;
    std::vector<char *> pointers_;
};

} // namespace Editor
