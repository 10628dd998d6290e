#pragma once

namespace as {

// Placeholder: the icon cache of asset items. shutdown drops the cache
// (there is none yet) and counts the call.
class ItemIconFactory
{
public:
    static void shutdown();
    static int shutdownCount();
};

} // namespace as
