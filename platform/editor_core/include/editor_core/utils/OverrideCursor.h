#pragma once

#include <Qt>

namespace utils {

// Sets an application override cursor for its lifetime.
class OverrideCursor
{
public:
    explicit OverrideCursor(Qt::CursorShape shape = Qt::WaitCursor);
    ~OverrideCursor();
    OverrideCursor(const OverrideCursor &) = delete;
    OverrideCursor &operator=(const OverrideCursor &) = delete;

    // Restores the cursor now (the destructor then does nothing).
    void restore();

private:
    bool active_ = false;
};

} // namespace utils
