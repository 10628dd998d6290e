#include "editor_core/UpdateLock.h"

#include "editor_core/base/Assert.h"

namespace {
int g_update_lock = 0;
int g_always_update = 0;

void release(int &counter, const char *what)
{
    if (counter <= 0) {
        counter = 0;
        base::printAssertMessage(what, __FILE__, __LINE__);
        return;
    }
    --counter;
}
} // namespace

void UpdateLock::claimUpdateLock()
{
    ++g_update_lock;
}

void UpdateLock::disclaimUpdateLock()
{
    release(g_update_lock, "update_lock > 0");
}

bool UpdateLock::isUpdateLocked()
{
    return g_update_lock > 0;
}

void UpdateLock::claimAlwaysUpdate()
{
    ++g_always_update;
}

void UpdateLock::disclaimAlwaysUpdate()
{
    release(g_always_update, "always_update > 0");
}

bool UpdateLock::isAlwaysUpdate()
{
    return g_always_update > 0;
}

void UpdateLock::reset()
{
    g_update_lock = 0;
    g_always_update = 0;
}
