#include "editor/interdependence/parser/guid_processor.h"

#include "editor/interdependence/parser/path_index.h"
#include "editor/interdependence/parser/utils.h"

#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>

#include <QDir>

#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

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

// The UTF-8 form of a text, in buffer (reused from text to text: paths are
// mostly ASCII, which is copied without a conversion).
std::string_view utf8(const QString &text, std::string &buffer)
{
    buffer.resize(size_t(text.size()));
    const QChar *chars = text.constData();
    for (int i = 0; i < text.size(); ++i) {
        const ushort c = chars[i].unicode();
        if (c >= 0x80) {
            const QByteArray converted = text.toUtf8();
            buffer.assign(converted.constData(), size_t(converted.size()));
            break;
        }
        buffer[size_t(i)] = char(c);
    }
    return buffer;
}

// Fills the path table from asset records in the manager's order. A record
// whose relative path can be had only by asking the manager again (a file
// outside the manager's root) is copied and added after the walk, and so is
// every later one, so that the table keeps the records' order even when the
// walk runs under the manager's lock.
class TableBuilder
{
public:
    TableBuilder(QString root, PathTable &table, size_t expected)
        : root_(std::move(root))
        , table_(table)
    {
        table_.reserve(expected, expected * 32);
    }

    void add(const as::Asset &asset)
    {
        // The record's own file, as fileInfo(guid) would give it, without
        // asking the disk whether it is still there, nor making the
        // record's absolute path (kept by the record once made).
        if (held_.empty() && !root_.isEmpty() && !asset.getRelativePath().isEmpty() && asset.isFilePathIn(root_)) {
            insert(asset.getRelativePath(), asset.getGUID());
            return;
        }
        const QString &file = asset.getFilePath();
        if (file.isEmpty())
            return;
        if (!held_.empty()) {
            held_.push_back(asset);
            return;
        }
        const QString clean = QDir::cleanPath(file);
        if (!root_.isEmpty() && clean.startsWith(root_)) {
            insert(clean.mid(root_.size()), asset.getGUID());
            return;
        }
        held_.push_back(asset);
    }

    // Adds the records held back and puts all paths into the table; the
    // caller no longer holds the manager's lock.
    void finish()
    {
        for (const as::Asset &asset : held_)
            insert(relativePath(root_, asset.getFilePath()), asset.getGUID());
        held_.clear();
        table_.addStaged([](std::string_view path) {
            Velmora::Log::warning("Dependency analysis: two assets claim the path \"%.*s\"; the first one is kept\n",
                                  int(path.size()), path.data());
        });
    }

private:
    // The paths are staged in the records' order, and looked up all at once
    // by finish().
    void insert(const QString &relative, const Velmora::UGUID &guid) { table_.stage(utf8(relative, buffer_), guid); }

    const QString root_;
    PathTable &table_;
    std::string buffer_;
    std::vector<as::Asset> held_;
};

} // namespace

GuidProcessor::GuidProcessor(Editor::AssetManagerPrivate *manager)
    : as_manager_(manager)
{
    EC_ASSERT(as_manager_);
    // The records are read in place, under the manager's read lock, rather
    // than copied out first.
    TableBuilder builder(as_manager_->rootPath(), rel_paths_, size_t(as_manager_->getNumAssets()));
    as_manager_->forEachAsset([&builder](const as::Asset &asset) { builder.add(asset); });
    builder.finish();
    startPathIndex();
    startRuntimeSet();
}

GuidProcessor::GuidProcessor(Editor::AssetManagerPrivate *manager, const QVector<as::Asset> &all_assets)
    : as_manager_(manager)
{
    EC_ASSERT(as_manager_);
    TableBuilder builder(as_manager_->rootPath(), rel_paths_, size_t(all_assets.size()));
    for (const as::Asset &asset : all_assets)
        builder.add(asset);
    builder.finish();
    startPathIndex();
    startRuntimeSet();
}

GuidProcessor::~GuidProcessor()
{
    if (path_index_builder_.joinable())
        path_index_builder_.join();
    if (runtime_set_builder_.joinable())
        runtime_set_builder_.join();
}

namespace {

// Every runtime GUID of the manager's records: the keys of its lookup by
// runtime, which holds each record's runtimes (the asset's own GUID among
// them) and nothing else.
void gatherRuntimes(const Editor::AssetManagerPrivate &manager, GuidHashSet &set)
{
    set.reserve(size_t(manager.getNumAssets()) * 5 / 4);
    manager.forEachAsset([&set](const as::Asset &asset) {
        for (const as::Runtime &runtime : asset.getRuntimes())
            set.insert(runtime.getGUID());
    });
}

std::unique_ptr<PathIndex> makePathIndex(const PathTable &table)
{
    std::vector<std::string_view> paths;
    paths.reserve(size_t(table.size()));
    for (int i = 0; i < table.size(); ++i)
        paths.push_back(table.path(i));
    return std::make_unique<PathIndex>(paths);
}

} // namespace

void GuidProcessor::startPathIndex()
{
    // The table no longer changes: the thread only reads it.
    try {
        path_index_builder_ = std::thread([this] { path_index_ = makePathIndex(rel_paths_); });
    } catch (const std::system_error &) {}
}

const PathIndex &GuidProcessor::pathIndex() const
{
    std::call_once(path_index_built_, [this] {
        if (path_index_builder_.joinable())
            path_index_builder_.join();
        else
            path_index_ = makePathIndex(rel_paths_);
    });
    return *path_index_;
}

void GuidProcessor::startRuntimeSet()
{
    // After the path table, so that the two walks of the manager do not
    // compete; until the set is there, the manager answers.
    try {
        runtime_set_builder_ = std::thread([this] {
            gatherRuntimes(*as_manager_, runtime_set_);
            runtime_set_ready_.store(true, std::memory_order_release);
        });
    } catch (const std::system_error &) {}
}

bool GuidProcessor::isRuntime(const Velmora::UGUID &guid) const
{
    if (runtime_set_ready_.load(std::memory_order_acquire))
        return runtime_set_.contains(guid);
    return as_manager_->hasRuntime(guid);
}

LookupCache::Answer GuidProcessor::resolve(const char *text) const
{
    using Kind = LookupCache::Kind;
    const Velmora::UGUID guid = utils::tryConvertToGuid(text);
    if (guid.isValid()) {
        if (isRuntime(guid))
            return {Kind::FOUND, guid};
        // A GUID whose file still exists but that no runtime carries names
        // neither a use nor a loss.
        if (!Velmora::FileSystem::isFileExist(guid))
            return {Kind::MISSING, guid};
        return {};
    }

    const Velmora::UGUID file_guid = Velmora::FileSystem::getGUID(text);
    if (file_guid.isValid()) {
        if (isRuntime(file_guid))
            return {Kind::FOUND, file_guid};
        return {};
    }

    const int position = rel_paths_.find(std::string_view(text));
    if (position < 0)
        return {};
    return {Kind::FOUND, rel_paths_.guid(position)};
}

bool GuidProcessor::process(const char *text, const FoundCallback &found, const MissingCallback &missing) const
{
    if (!text || !*text)
        return false;

    LookupCache *cache = LookupCache::current();
    LookupCache::Answer answer;
    if (const LookupCache::Answer *known = cache ? cache->find(this, text) : nullptr) {
        answer = *known;
    } else {
        answer = resolve(text);
        if (cache)
            cache->insert(this, text, answer);
    }
    switch (answer.kind) {
    case LookupCache::Kind::FOUND:
        found(answer.guid);
        return true;
    case LookupCache::Kind::MISSING:
        missing(answer.guid, 0);
        return false;
    case LookupCache::Kind::NONE:
        break;
    }
    return false;
}

bool GuidProcessor::matchSuffix(const char *text, const FoundCallback &found) const
{
    if (!text || !*text)
        return false;
    const int first = pathIndex().firstEndingWith(std::string_view(text));
    if (first < 0)
        return false;
    found(rel_paths_.guid(first));
    return true;
}

bool GuidProcessor::matchContained(const char *text, const FoundCallback &found) const
{
    if (!text || !*text)
        return false;
    const std::vector<int> contained = pathIndex().containedIn(std::string_view(text));
    for (const int position : contained)
        found(rel_paths_.guid(position));
    return !contained.empty();
}

} // namespace parser
} // namespace inas
