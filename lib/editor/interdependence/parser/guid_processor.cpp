#include "editor/interdependence/parser/guid_processor.h"

#include "editor/interdependence/parser/utils.h"

#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>

#include <QDir>

#include <string_view>

namespace inas {
namespace parser {

namespace {

// Data-relative form of an asset file inside the manager's data folder. The
// manager's own root is used, not the process-wide data folder, so that the
// table always matches the manager it was built from.
QString relativePath(const QString &root, const QString &absolute)
{
    const QString clean = QDir::cleanPath(absolute);
    if (!root.isEmpty() && clean.startsWith(root))
        return clean.mid(root.size());
    return fs::relDataPath(clean);
}

} // namespace

GuidProcessor::GuidProcessor(Editor::AssetManagerPrivate *manager)
    : as_manager_(manager)
{
    EC_ASSERT(as_manager_);
    const QString root = as_manager_->rootPath();
    const Velmora::Vector<as::Asset> assets = as_manager_->assets();
    rel_paths_.reserve(size_t(assets.size()));
    for (const as::Asset &asset : assets) {
        const QString file = as_manager_->fileInfo(asset.getGUID()).filePath();
        if (file.isEmpty())
            continue;
        std::string key = relativePath(root, file).toStdString();
        if (rel_paths_index_.count(key)) {
            Velmora::Log::warning("Dependency analysis: two assets claim the path \"%s\"; the first one is kept\n",
                                  key.c_str());
            continue;
        }
        rel_paths_index_.emplace(key, rel_paths_.size());
        rel_paths_.emplace_back(std::move(key), asset.getGUID());
    }
}

bool GuidProcessor::process(const char *text, const FoundCallback &found, const MissingCallback &missing) const
{
    if (!text || !*text)
        return false;

    const Velmora::UGUID guid = utils::tryConvertToGuid(text);
    if (guid.isValid()) {
        if (as_manager_->hasRuntime(guid)) {
            found(guid);
            return true;
        }
        // A GUID whose file still exists but that no runtime carries names
        // neither a use nor a loss.
        if (!Velmora::FileSystem::isFileExist(guid))
            missing(guid, 0);
        return false;
    }

    const Velmora::UGUID file_guid = Velmora::FileSystem::getGUID(text);
    if (file_guid.isValid()) {
        if (as_manager_->hasRuntime(file_guid)) {
            found(file_guid);
            return true;
        }
        return false;
    }

    const auto it = rel_paths_index_.find(std::string(text));
    if (it == rel_paths_index_.end())
        return false;
    found(rel_paths_[it->second].second);
    return true;
}

bool GuidProcessor::matchSuffix(const char *text, const FoundCallback &found) const
{
    if (!text || !*text)
        return false;
    const std::string_view suffix(text);
    for (const auto &entry : rel_paths_) {
        const std::string &key = entry.first;
        if (key.size() >= suffix.size() && key.compare(key.size() - suffix.size(), suffix.size(), suffix) == 0) {
            found(entry.second);
            return true;
        }
    }
    return false;
}

bool GuidProcessor::matchContained(const char *text, const FoundCallback &found) const
{
    if (!text || !*text)
        return false;
    const std::string_view haystack(text);
    bool any = false;
    for (const auto &entry : rel_paths_) {
        if (haystack.find(entry.first) != std::string_view::npos) {
            found(entry.second);
            any = true;
        }
    }
    return any;
}

} // namespace parser
} // namespace inas
