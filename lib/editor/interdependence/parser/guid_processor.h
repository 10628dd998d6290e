#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Editor {
class AssetManagerPrivate;
}

namespace inas {
namespace parser {

// The reference resolver of one parse: GUID text, file paths the engine file
// system knows, and data-relative asset paths (the table rel_paths, built
// once from the asset manager and never refreshed). Every lookup only reads,
// so the resolver may be used from the analysis thread while the asset
// manager serves other threads under its own read lock.
class GuidProcessor : public GuidProcessorBase
{
public:
    // manager must not be null.
    explicit GuidProcessor(Editor::AssetManagerPrivate *manager);

    bool process(const char *text, const FoundCallback &found, const MissingCallback &missing) const override;
    // An empty text matches nothing. Among several matching paths the first
    // in the asset manager's order (sorted by path) wins.
    bool matchSuffix(const char *text, const FoundCallback &found) const override;
    bool matchContained(const char *text, const FoundCallback &found) const override;

    int getNumPaths() const { return int(rel_paths_.size()); }

private:
    Editor::AssetManagerPrivate *as_manager_;
    // rel_paths: data-relative path -> asset GUID, in the asset manager's
    // order, with an index for exact lookups.
    std::vector<std::pair<std::string, Velmora::UGUID>> rel_paths_;
    std::unordered_map<std::string, size_t> rel_paths_index_;
};

} // namespace parser
} // namespace inas
