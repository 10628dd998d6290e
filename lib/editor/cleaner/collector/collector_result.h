#pragma once

#include "editor/cleaner/collector/read_stamps.h"
#include "editor/cleaner/parser/node_info.h"
#include "editor/cleaner/parser/read_failure.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QHash>
#include <QVector>

#include <memory>

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

// An asset that nothing uses but that is not listed, since the asset
// manager would refuse to delete it (a file that leads out of the data
// folder).
struct RefusedAsset
{
    Velmora::UGUID guid;
    QString path; // data-relative
    QString reason;
};

// A symbolic link of the data folder (never an asset, so never listed) and
// what the collection did with it.
struct LinkNote
{
    QString path; // data-relative, as reached
    QString note;
};

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
    // Unused assets left out of unused.
    QVector<RefusedAsset> refused;
    // What the collection read, to tell later whether the project changed.
    std::shared_ptr<ReadStamps> stamps;
    // The data folder's links, in the order found.
    QVector<LinkNote> links;

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
        refused.clear();
        stamps.reset();
        links.clear();
    }
};

} // namespace cleaner
