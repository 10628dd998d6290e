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

bool ShaderCache::Stamp::operator==(const Stamp &other) const
{
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size
            && modified_ns == other.modified_ns && changed_ns == other.changed_ns;
}

bool ShaderCache::stampNow(Stamp &stamp) const
{
    stamp = Stamp();
    struct stat info;
    if (::stat(path_.get(), &info) != 0)
        return errno == ENOENT;
    stamp.exists = true;
    stamp.device = static_cast<unsigned long long>(info.st_dev);
    stamp.inode = static_cast<unsigned long long>(info.st_ino);
    stamp.size = static_cast<long long>(info.st_size);
    stamp.modified_ns = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    stamp.changed_ns = static_cast<long long>(info.st_ctim.tv_sec) * 1000000000LL + info.st_ctim.tv_nsec;
    return true;
}

bool ShaderCache::read(std::deque<std::string> &lines, int &broken, Stamp &stamp) const
{
    lines.clear();
    broken = 0;
    // Stamped before the read: a write in between makes the next save read
    // the file again, never miss what it added.
    if (!stampNow(stamp))
        return false;
    QByteArray data;
    if (readWholeFile(path_.get(), MAX_FILE_SIZE, data) != FileRead::OK) {
        struct stat info;
        return ::stat(path_.get(), &info) != 0 && errno == ENOENT;
    }
    std::unordered_set<std::string_view> seen;
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
        if (!isWhole(line)) {
            ++broken;
        } else if (!seen.count(line)) {
            lines.push_back(std::move(line));
            seen.insert(lines.back());
        }
    }
    return true;
}

bool ShaderCache::holds(const std::string &line)
{
    load();
    return held_.count(line) != 0;
}

bool ShaderCache::add(const std::string &line)
{
    load();
    if (held_.count(line))
        return false;
    lines_.push_back(line);
    held_.insert(lines_.back());
    ++added_since_attempt_;
    return true;
}

bool ShaderCache::isSaveDue() const
{
    return added_since_attempt_ >= std::max(MIN_BATCH, held_.size() / 8);
}

bool ShaderCache::save()
{
    if (saved_ == lines_.size())
        return true;
    added_since_attempt_ = 0;
    // Another process wrote the file since it was read or written here:
    // what it holds now comes first, so that the lines it added are kept.
    Stamp now;
    if (!stamp_known_ || !stampNow(now) || !(now == stamp_)) {
        std::deque<std::string> lines;
        int broken = 0;
        if (!read(lines, broken, now)) {
            stamp_known_ = false;
            Log::warning("Materials: the shader cache \"%s\" is not updated: it cannot be read\n", path_.get());
            return false;
        }
        const size_t in_file = lines.size();
        std::unordered_set<std::string_view> seen(lines.begin(), lines.end());
        for (size_t i = saved_; i < lines_.size(); ++i) {
            if (!seen.count(lines_[i]))
                lines.push_back(std::move(lines_[i]));
        }
        lines_ = std::move(lines);
        saved_ = in_file;
        held_.clear();
        held_.insert(lines_.begin(), lines_.end());
        stamp_ = now;
        stamp_known_ = true;
    }
    size_t size = 0;
    for (const std::string &line : lines_)
        size += line.size() + 1;
    QByteArray data;
    data.reserve(int(size));
    for (const std::string &line : lines_)
        data.append(line.data(), int(line.size())).append('\n');
    // The cache only speeds the next start up: a failed write keeps the old
    // file and is told in the log, and compiling goes on.
    String reason;
    if (!writeFileAtomic(path_.get(), data.constData(), size_t(data.size()), &reason)) {
        Log::warning("Materials: the shader cache \"%s\" is not updated: %s\n", path_.get(), reason.get());
        return false;
    }
    saved_ = lines_.size();
    // A file of another size is not this write's: another process wrote
    // right after it.
    stamp_known_ = stampNow(stamp_) && stamp_.exists && stamp_.size == static_cast<long long>(size);
    return true;
}

void ShaderCache::close()
{
    if (!path_.empty())
        save();
    path_ = String();
    loaded_ = false;
    held_.clear();
    lines_.clear();
    saved_ = 0;
    stamp_known_ = false;
    added_since_attempt_ = 0;
}

void ShaderCache::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    int broken = 0;
    stamp_known_ = read(lines_, broken, stamp_);
    if (!stamp_known_) {
        Log::warning("Materials: the shader cache \"%s\" cannot be read; every shader is compiled\n", path_.get());
        return;
    }
    if (broken > 0)
        Log::warning("Materials: the shader cache \"%s\" has %d broken line(s); they are skipped\n", path_.get(),
                     broken);
    saved_ = lines_.size();
    held_.reserve(lines_.size());
    held_.insert(lines_.begin(), lines_.end());
}

} // namespace engine_internal
} // namespace Velmora
