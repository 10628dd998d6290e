#include "shader_cache.h"

#include "velmora/Log.h"

#include "engine_internal.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace Velmora {
namespace engine_internal {

namespace {

// Far beyond any project's cache; a larger file is not read whole.
constexpr long long MAX_FILE_SIZE = 1LL << 30;
constexpr size_t GUID_LENGTH = 40;
constexpr size_t HASH_LENGTH = 8;

bool isHex(const char *text, size_t length)
{
    return std::all_of(text, text + length, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// "<40 hex digits> <name> <8 hex digits>", the name not empty.
bool isWhole(const std::string &line)
{
    if (line.size() < GUID_LENGTH + HASH_LENGTH + 3)
        return false;
    const size_t hash = line.size() - HASH_LENGTH;
    return isHex(line.data(), GUID_LENGTH) && line[GUID_LENGTH] == ' ' && line[hash - 1] == ' '
            && isHex(line.data() + hash, HASH_LENGTH);
}

// The whole lines of the file in order, each once; false when it exists
// but cannot be read. A missing file holds nothing.
bool readLines(const String &path, std::vector<std::string> &lines, int &broken)
{
    lines.clear();
    broken = 0;
    QByteArray data;
    if (readWholeFile(path.get(), MAX_FILE_SIZE, data) != FileRead::OK) {
        struct stat info;
        return ::stat(path.get(), &info) != 0 && errno == ENOENT;
    }
    std::unordered_set<std::string> seen;
    const char *at = data.constData();
    const char *end = at + data.size();
    while (at < end) {
        const char *stop = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        if (!stop)
            stop = end;
        std::string line(at, stop);
        at = stop + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (!isWhole(line))
            ++broken;
        else if (seen.insert(line).second)
            lines.push_back(std::move(line));
    }
    return true;
}

} // namespace

std::string ShaderCache::lineOf(const UGUID &guid, const char *name, uint32_t program_hash)
{
    // A line break in a name would cut the line in two.
    std::string text = name && *name ? name : "-";
    std::replace_if(
            text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
    return String::format("%s %s %08x", guid.getString().get(), text.c_str(), program_hash).std();
}

void ShaderCache::use(const String &path)
{
    if (path == path_)
        return;
    close();
    path_ = path;
}

bool ShaderCache::holds(const std::string &line)
{
    load();
    return held_.count(line) != 0;
}

bool ShaderCache::add(const std::string &line)
{
    load();
    if (!held_.insert(line).second)
        return false;
    unsaved_.push_back(line);
    ++added_since_attempt_;
    return true;
}

bool ShaderCache::isSaveDue() const
{
    return added_since_attempt_ >= std::max(MIN_BATCH, held_.size() / 8);
}

bool ShaderCache::save()
{
    if (unsaved_.empty())
        return true;
    added_since_attempt_ = 0;
    // What the file holds now comes first, so that lines another process
    // wrote since it was read are kept.
    std::vector<std::string> lines;
    int broken = 0;
    if (!readLines(path_, lines, broken)) {
        Log::warning("Materials: the shader cache \"%s\" is not updated: it cannot be read\n", path_.get());
        return false;
    }
    std::unordered_set<std::string> in_file(lines.begin(), lines.end());
    size_t size = 0;
    for (const std::string &line : lines)
        size += line.size() + 1;
    for (const std::string &line : unsaved_)
        size += line.size() + 1;
    QByteArray data;
    data.reserve(int(size));
    for (const std::string &line : lines) {
        held_.insert(line);
        data.append(line.data(), int(line.size())).append('\n');
    }
    for (const std::string &line : unsaved_) {
        if (!in_file.count(line))
            data.append(line.data(), int(line.size())).append('\n');
    }
    // The cache only speeds the next start up: a failed write keeps the old
    // file and is told in the log, and compiling goes on.
    String reason;
    if (!writeFileAtomic(path_.get(), data.constData(), size_t(data.size()), &reason)) {
        Log::warning("Materials: the shader cache \"%s\" is not updated: %s\n", path_.get(), reason.get());
        return false;
    }
    unsaved_.clear();
    return true;
}

void ShaderCache::close()
{
    if (!path_.empty())
        save();
    path_ = String();
    loaded_ = false;
    held_.clear();
    unsaved_.clear();
    added_since_attempt_ = 0;
}

void ShaderCache::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    std::vector<std::string> lines;
    int broken = 0;
    if (!readLines(path_, lines, broken)) {
        Log::warning("Materials: the shader cache \"%s\" cannot be read; every shader is compiled\n", path_.get());
        return;
    }
    if (broken > 0)
        Log::warning("Materials: the shader cache \"%s\" has %d broken line(s); they are skipped\n", path_.get(),
                     broken);
    held_.reserve(lines.size());
    for (std::string &line : lines)
        held_.insert(std::move(line));
}

} // namespace engine_internal
} // namespace Velmora
