#pragma once

#include "editor/cleaner/parser/node_info.h"
#include "editor/cleaner/parser/read_failure.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QHash>

namespace cleaner {

// The lost references of one asset file.
struct LostEntry
{
    // Lost GUIDs outside any node element, ascending.
    Velmora::Vector<Velmora::UGUID> lost_ids;
    // Node elements with lost references, in file order.
    Velmora::Vector<NodeInfo> nodes;
};

using LostMap = QHash<Velmora::UGUID, LostEntry>;

// What one collection found.
struct CollectorResult
{
    // True only when the collection ran to its end.
    bool success = false;
    // Asset GUIDs of the unused assets, in the asset manager's order.
    Velmora::Vector<Velmora::UGUID> unused;
    // Asset GUID -> its lost references.
    LostMap lost;
    // Files that may hold references but could not be read (also an ignore
    // list that is there but unreadable).
    ReadFailures read_failures;
    // The asset database or an asset file changed while the collection ran.
    bool stale = false;

    // While true, an asset in unused may still be used by something the
    // collection could not see: deleting them all is not safe.
    bool mayBeIncomplete() const { return stale || !read_failures.isEmpty(); }

    void clear()
    {
        success = false;
        unused.clear();
        lost.clear();
        read_failures.clear();
        stale = false;
    }
};

} // namespace cleaner
