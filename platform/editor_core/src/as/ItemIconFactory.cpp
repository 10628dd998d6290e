#include "editor_core/as/ItemIconFactory.h"

namespace as {

namespace {
int g_shutdowns = 0;
}

void ItemIconFactory::shutdown()
{
    ++g_shutdowns;
}

int ItemIconFactory::shutdownCount()
{
    return g_shutdowns;
}

} // namespace as
