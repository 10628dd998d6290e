#pragma once

#include "core/base/thread_group.h"
#include "editor/interdependence/parser/guid_hash_set.h"
#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/lookup_cache.h"
#include "editor/interdependence/parser/path_table.h"

#include <editor_core/as/Asset.h>

#include <velmora/LogHold.h>

#include <QVector>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>

namespace Editor {
class AssetManagerPrivate;
}

namespace inas {
namespace parser {

class PathIndex;

// The reference resolver of one parse: GUID text, file paths the engine file
// system knows, and data-relative asset paths (the table rel_paths, built
// once from the asset manager's records and never refreshed). Every lookup
// only reads, so the resolver may be used from the analysis thread while the
// asset manager serves other threads under its own read lock. The table,
// then an index of its paths for suffix and contained matches, are made on
// a thread of their own that the constructor starts: a lookup that needs
// one waits until it is there. The matches report exactly what a scan of
// the table in its order would report. What making the table logs (paths
// claimed twice) is held back and written by writeTableLines, so that its
// place in the log does not depend on the thread. Whether a GUID is some
// asset's runtime is answered from a set of the manager's runtime GUIDs,
// which another thread gathers meanwhile (the manager answers until then),
// so that the reading threads of a parse do not meet at the manager's lock
// for every GUID they find.
class GuidProcessor : public GuidProcessorBase
{
public:
    // manager must not be null. The table holds every asset of the manager
    // (its assetList()).
    explicit GuidProcessor(Editor::AssetManagerPrivate *manager);
    // The same from a list of every asset of the manager that the caller has
    // just taken from it.
    GuidProcessor(Editor::AssetManagerPrivate *manager, const QVector<as::Asset> &all_assets);
    ~GuidProcessor() override;

    // Answers from the calling thread's LookupCache when one is active. A
    // text that leaves a developer line is never answered from it: it is
    // looked up, and so logged, every time it is met.
    bool process(const char *text, const FoundCallback &found, const MissingCallback &missing) const override;
    // The answer to one text (not empty) from the asset manager, the engine
    // file system and the path table, asked now; logged (when given) tells
    // whether the lookup wrote a developer line.
    LookupCache::Answer resolve(const char *text, bool *logged = nullptr) const;
    // An empty text matches nothing. Among several matching paths the first
    // in the asset manager's order (sorted by path) wins.
    bool matchSuffix(const char *text, const FoundCallback &found) const override;
    bool matchContained(const char *text, const FoundCallback &found) const override;

    // Writes the log lines of making the table (paths that two assets
    // claim), once, where the caller wants them: with wait, once the table
    // is there; without, only when it is there already (false when not).
    // Lines not written by the time the resolver goes are written then.
    bool writeTableLines(bool wait) const;

    int getNumPaths() const;
    // The table rel_paths: data-relative path -> asset GUID, in the asset
    // manager's order.
    const PathTable &getPaths() const;

private:
    // The table and the index, once made (they are made on a thread of
    // their own, see the constructor).
    const PathTable &table() const;
    const PathIndex &pathIndex() const;
    // Starts gathering the set of runtime GUIDs of the records (every asset
    // of the manager) on a thread of its own; the manager's answer to
    // hasRuntime, from the set once it is there.
    void startRuntimeSet(const QVector<as::Asset> &records);
    bool isRuntime(const Velmora::UGUID &guid) const;

    Editor::AssetManagerPrivate *as_manager_;
    PathTable rel_paths_;
    std::unique_ptr<PathIndex> path_index_;
    std::promise<void> table_done_;
    std::promise<void> index_done_;
    std::shared_future<void> table_ready_;
    std::shared_future<void> index_ready_;
    // The lines of making the table, held until writeTableLines.
    mutable Velmora::LogHold::Lines table_lines_;
    mutable std::once_flag table_lines_written_;
    // The table's and index's builder and the runtime set's.
    base::ThreadGroup builders_;
    GuidHashSet runtime_set_;
    std::atomic<bool> runtime_set_ready_{false};
};

} // namespace parser
} // namespace inas
