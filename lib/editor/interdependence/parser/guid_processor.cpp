#include "editor/interdependence/parser/guid_processor.h"

#include "core/base/parallel_for.h"
#include "editor/interdependence/parser/path_index.h"
#include "editor/interdependence/parser/utils.h"

#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/LogHold.h>

#include <QDir>

#include <algorithm>
#include <chrono>

#include <cstdint>
#include <string>
#include <string_view>
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

// Records of one part that the table needs at most, per thread.
constexpr size_t RECORDS_PER_THREAD = 8192;

// A record's path in its part's bytes, or OUTSIDE for a record whose path is
// worked out as the table takes it.
constexpr uint32_t OUTSIDE = UINT32_MAX;

// The UTF-8 relative paths of consecutive records, one after the other, with
// their hashes (PathTable::hashOf) and the records' GUIDs.
struct PathPart
{
    std::string bytes;
    std::vector<uint32_t> lengths;
    std::vector<size_t> hashes; // of the paths in bytes
    std::vector<Velmora::UGUID> guids; // of the records of the paths in bytes
    bool outside = false; // some record's length is OUTSIDE
};

// The relative paths of the records inside the data folder (what nearly
// every record of a project is), made in consecutive parts on several
// threads.
std::vector<PathPart> pathParts(const QString &root, const QVector<as::Asset> &records)
{
    const size_t count = size_t(records.size());
    const int num_parts = base::ParallelFor::chunks(count, RECORDS_PER_THREAD);
    std::vector<PathPart> parts(static_cast<size_t>(num_parts));
    base::ParallelFor::run(count, num_parts, [&](int index, size_t begin, size_t end) {
        PathPart &part = parts[size_t(index)];
        part.lengths.reserve(end - begin);
        part.hashes.reserve(end - begin);
        part.guids.reserve(end - begin);
        part.bytes.reserve((end - begin) * 48);
        std::string buffer;
        for (size_t i = begin; i < end; ++i) {
            // The record's own file, as fileInfo(guid) would give it, without
            // asking the disk whether it is still there, nor making the
            // record's absolute path (kept by the record once made).
            const as::Asset &asset = records.at(int(i));
            if (root.isEmpty() || asset.getRelativePath().isEmpty() || !asset.isFilePathIn(root)) {
                part.lengths.push_back(OUTSIDE);
                part.outside = true;
                continue;
            }
            const std::string_view path = utf8(asset.getRelativePath(), buffer);
            part.bytes.append(path.data(), path.size());
            part.lengths.push_back(uint32_t(path.size()));
            part.hashes.push_back(PathTable::hashOf(path));
            part.guids.push_back(asset.getGUID());
        }
    });
    return parts;
}

// Every path of the parts, in order.
std::vector<std::string_view> partPaths(const std::vector<PathPart> &parts)
{
    std::vector<std::string_view> paths;
    for (const PathPart &part : parts) {
        size_t offset = 0;
        for (const uint32_t length : part.lengths) {
            paths.emplace_back(part.bytes.data() + offset, length);
            offset += length;
        }
    }
    return paths;
}

// Fills the path table from the records' parts, in the records' order: the
// parts' texts are joined into the table's on several threads, and only the
// paths of records outside the data folder are worked out here.
void fillTable(const QString &root, const QVector<as::Asset> &records, const std::vector<PathPart> &parts,
               PathTable &table)
{
    std::vector<size_t> starts(parts.size() + 1);
    for (size_t p = 0; p < parts.size(); ++p)
        starts[p + 1] = starts[p] + parts[p].bytes.size();
    std::string text(starts.back(), '\0');
    base::ParallelFor::run(parts.size(), int(parts.size()), [&](int, size_t begin, size_t end) {
        for (size_t p = begin; p < end; ++p)
            parts[p].bytes.copy(&text[starts[p]], parts[p].bytes.size());
    });
    table.adopt(std::move(text));
    table.reserve(size_t(records.size()), 0);
    std::string buffer;
    size_t record = 0;
    for (size_t p = 0; p < parts.size(); ++p) {
        const PathPart &part = parts[p];
        size_t offset = starts[p];
        size_t inside = 0;
        for (const uint32_t length : part.lengths) {
            const size_t at = record++;
            if (length != OUTSIDE) {
                table.stageAt(offset, length, part.guids[inside], part.hashes[inside]);
                offset += length;
                ++inside;
                continue;
            }
            const as::Asset &asset = records.at(int(at));
            const QString &file = asset.getFilePath();
            if (file.isEmpty())
                continue;
            const QString clean = QDir::cleanPath(file);
            const QString relative
                    = !root.isEmpty() && clean.startsWith(root) ? clean.mid(root.size()) : relativePath(root, file);
            table.stage(utf8(relative, buffer), asset.getGUID());
        }
    }
    table.addStaged([](std::string_view path) {
        Velmora::Log::warning("Dependency analysis: two assets claim the path \"%.*s\"; the first one is kept\n",
                              int(path.size()), path.data());
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

GuidProcessor::GuidProcessor(Editor::AssetManagerPrivate *manager)
    : GuidProcessor(manager, manager ? manager->assetList() : QVector<as::Asset>())
{}

GuidProcessor::GuidProcessor(Editor::AssetManagerPrivate *manager, const QVector<as::Asset> &all_assets)
    : as_manager_(manager)
    , table_ready_(table_done_.get_future().share())
    , index_ready_(index_done_.get_future().share())
{
    EC_ASSERT(as_manager_);
    // The table and the index are made on threads of their own: a parse has
    // its list to go through and its first files to open before the first
    // text asks for a path.
    auto build = [this, root = as_manager_->rootPath(), all_assets] {
        const std::vector<PathPart> parts = pathParts(root, all_assets);
        // When every record lies in the data folder, the index is made from
        // the parts while the table takes them: its positions are the
        // table's unless the table leaves a repeated path out.
        const bool inside = std::none_of(parts.begin(), parts.end(), [](const PathPart &p) { return p.outside; });
        const std::vector<std::string_view> paths = inside ? partPaths(parts) : std::vector<std::string_view>();
        std::unique_ptr<PathIndex> early;
        // Without a thread for it, the index is made from the table below.
        base::ThreadGroup early_builder;
        if (inside)
            early_builder.start([&early, &paths] { early = std::make_unique<PathIndex>(paths); });
        {
            Velmora::LogHold hold(&table_lines_);
            fillTable(root, all_assets, parts, rel_paths_);
        }
        table_done_.set_value();
        early_builder.join();
        if (early && size_t(rel_paths_.size()) == paths.size())
            path_index_ = std::move(early);
        else
            path_index_ = makePathIndex(rel_paths_);
        index_done_.set_value();
    };
    builders_.startOrRun(build);
    startRuntimeSet(all_assets);
}

GuidProcessor::~GuidProcessor()
{
    builders_.join();
    writeTableLines(true);
}

bool GuidProcessor::writeTableLines(bool wait) const
{
    if (!wait && table_ready_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    table_ready_.wait();
    std::call_once(table_lines_written_, [this] { Velmora::LogHold::release(table_lines_); });
    return true;
}

int GuidProcessor::getNumPaths() const
{
    return table().size();
}

const PathTable &GuidProcessor::getPaths() const
{
    return table();
}

const PathTable &GuidProcessor::table() const
{
    table_ready_.wait();
    return rel_paths_;
}

namespace {

// Every runtime GUID of the manager's records: the keys of its lookup by
// runtime, which holds each record's runtimes (the asset's own GUID among
// them) and nothing else.
void gatherRuntimes(const QVector<as::Asset> &records, GuidHashSet &set)
{
    set.reserve(size_t(records.size()) * 5 / 4);
    for (const as::Asset &asset : records) {
        for (const as::Runtime &runtime : asset.getRuntimes())
            set.insert(runtime.getGUID());
    }
}

} // namespace

const PathIndex &GuidProcessor::pathIndex() const
{
    index_ready_.wait();
    return *path_index_;
}

void GuidProcessor::startRuntimeSet(const QVector<as::Asset> &records)
{
    // Until the set is there (for ever, when no thread makes it), the
    // manager answers.
    builders_.start([this, records] {
        gatherRuntimes(records, runtime_set_);
        runtime_set_ready_.store(true, std::memory_order_release);
    });
}

bool GuidProcessor::isRuntime(const Velmora::UGUID &guid) const
{
    if (runtime_set_ready_.load(std::memory_order_acquire))
        return runtime_set_.contains(guid);
    return as_manager_->hasRuntime(guid);
}

LookupCache::Answer GuidProcessor::resolve(const char *text, bool *logged) const
{
    using Kind = LookupCache::Kind;
    const Velmora::UGUID guid = utils::tryConvertToGuid(text, logged);
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

    const int position = table().find(std::string_view(text));
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
        bool logged = false;
        answer = resolve(text, &logged);
        if (cache && !logged)
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
