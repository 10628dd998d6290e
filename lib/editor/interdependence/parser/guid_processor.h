#pragma once

#include "editor/interdependence/parser/guid_hash_set.h"
#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/lookup_cache.h"
#include "editor/interdependence/parser/path_table.h"

#include <editor_core/as/Asset.h>

#include <QVector>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace Editor {
class AssetManagerPrivate;
}

namespace inas {
namespace parser {

class PathIndex;

// The reference resolver of one parse: GUID text, file paths the engine file
// system knows, and data-relative asset paths (the table rel_paths, built
// once from the asset manager and never refreshed). Every lookup only reads,
// so the resolver may be used from the analysis thread while the asset
// manager serves other threads under its own read lock. Whether a GUID is
// some asset's runtime is answered from a set of the manager's runtime GUIDs,
// which a thread of its own gathers once the path table is made (the manager
// answers until then), so that the reading threads of a parse do not meet
// at the manager's lock for every GUID they find. Suffix and
// contained matches go through an index of the paths, which a thread of its
// own starts building as soon as the table is made (the first match waits
// for it), and report exactly what a scan of the table in its order would
// report.
class GuidProcessor : public GuidProcessorBase
{
public:
    // manager must not be null. The table holds every asset of the manager.
    explicit GuidProcessor(Editor::AssetManagerPrivate *manager);
    // The same from a list of every asset of the manager that the caller has
    // just taken from it (so that the records are not copied twice).
    GuidProcessor(Editor::AssetManagerPrivate *manager, const QVector<as::Asset> &all_assets);
    ~GuidProcessor() override;

    // Answers from the calling thread's LookupCache when one is active.
    bool process(const char *text, const FoundCallback &found, const MissingCallback &missing) const override;
    // The answer to one text (not empty) from the asset manager, the engine
    // file system and the path table, asked now.
    LookupCache::Answer resolve(const char *text) const;
    // An empty text matches nothing. Among several matching paths the first
    // in the asset manager's order (sorted by path) wins.
    bool matchSuffix(const char *text, const FoundCallback &found) const override;
    bool matchContained(const char *text, const FoundCallback &found) const override;

    int getNumPaths() const { return rel_paths_.size(); }
    // The table rel_paths: data-relative path -> asset GUID, in the asset
    // manager's order.
    const PathTable &getPaths() const { return rel_paths_; }

private:
    // Starts building the index on a thread of its own (or leaves it to the
    // first match when no thread can be had).
    void startPathIndex();
    const PathIndex &pathIndex() const;
    // Starts gathering the set of runtime GUIDs on a thread of its own; the
    // manager's answer to hasRuntime, from the set once it is there.
    void startRuntimeSet();
    bool isRuntime(const Velmora::UGUID &guid) const;

    Editor::AssetManagerPrivate *as_manager_;
    PathTable rel_paths_;
    mutable std::thread path_index_builder_;
    mutable std::once_flag path_index_built_;
    mutable std::unique_ptr<PathIndex> path_index_;
    std::thread runtime_set_builder_;
    GuidHashSet runtime_set_;
    std::atomic<bool> runtime_set_ready_{false};
};

} // namespace parser
} // namespace inas
