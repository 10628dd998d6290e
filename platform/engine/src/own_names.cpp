#include "velmora/OwnNames.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace Velmora {
namespace OwnNames {

namespace {

constexpr std::string_view MARK(".velmora-");
constexpr std::string_view SCRATCH_PREFIX(".velmora-frame-");
constexpr std::string_view CLAIMS(CLAIM_FILE);
// The longest name the file systems we run on take (NAME_MAX), in bytes.
constexpr size_t LONGEST_NAME = 255;
// What a shortened name ends with: '~' and eight hexadecimal digits.
constexpr size_t CHECKSUM_SIZE = 9;

struct Word
{
    Kind kind;
    std::string_view text;
};
constexpr Word WORDS[] = {{TEMPORARY, "tmp-"}, {KEPT, "keep-"}, {JOURNAL, "run-"}};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAlnum(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "<pid>-<tag>", the tag digits only or ASCII letters and digits; the pid
// in *pid.
bool parseProcessMark(std::string_view text, bool digits_only, long long *pid)
{
    size_t at = 0;
    long long value = 0;
    while (at < text.size() && isDigit(text[at]) && value <= INT_MAX)
        value = value * 10 + (text[at++] - '0');
    if (at == 0 || value <= 0 || value > INT_MAX || at == text.size() || text[at] != '-' || at + 1 == text.size())
        return false;
    for (++at; at < text.size(); ++at)
        if (!(digits_only ? isDigit(text[at]) : isAlnum(text[at])))
            return false;
    *pid = value;
    return true;
}

// Where the mark of a file kind starts in name (npos when it has none).
size_t markAt(std::string_view name, Kind *kind, long long *pid)
{
    if (name.size() < 2 || name[0] != '.')
        return std::string_view::npos;
    const size_t at = name.rfind(MARK);
    if (at == std::string_view::npos || at < 2)
        return std::string_view::npos;
    const std::string_view rest = name.substr(at + MARK.size());
    for (const Word &word : WORDS) {
        if (rest.substr(0, word.text.size()) == word.text
            && parseProcessMark(rest.substr(word.text.size()), true, pid)) {
            *kind = word.kind;
            return at;
        }
    }
    return std::string_view::npos;
}

// What an own name whose mark takes mark_size bytes borrows from
// file_name: all of it when it fits, else its start, cut at a character,
// and a checksum of the whole.
std::string borrowed(std::string_view file_name, size_t mark_size)
{
    const size_t room = LONGEST_NAME - 1 - mark_size;
    if (file_name.size() <= room)
        return std::string(file_name);
    size_t start = room - CHECKSUM_SIZE;
    while (start > 0 && (static_cast<unsigned char>(file_name[start]) & 0xc0) == 0x80)
        --start;
    uint32_t checksum = 2166136261u; // FNV-1a
    for (const char c : file_name)
        checksum = (checksum ^ static_cast<unsigned char>(c)) * 16777619u;
    char tail[CHECKSUM_SIZE + 1];
    std::snprintf(tail, sizeof tail, "~%08x", checksum);
    return std::string(file_name.substr(0, start)) + tail;
}

// The folder path is in ("" for the root and for a name without one).
std::string parentOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

struct Claim
{
    std::string folder;
    int fd = -1;
};

std::mutex g_claims_mutex;
std::vector<Claim> g_claims;

// The lock of one process id in a file of claims: one byte at its id.
struct flock byteOf(long long pid, short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(pid);
    lock.l_len = 1;
    return lock;
}

enum Claimed { NOT_CLAIMED, CLAIMED, CANNOT_TELL };

// The options of the mounted file system that holds device (its "super
// options" in the system's table of mounts); "" when it is not found.
std::string mountOptionsOf(dev_t device)
{
    std::ifstream table("/proc/self/mountinfo");
    const std::string id = std::to_string(major(device)) + ':' + std::to_string(minor(device));
    for (std::string line; std::getline(table, line);) {
        // "<id> <parent> <major:minor> <root> <mount point> <options>
        // [fields] - <type> <source> <super options>"
        const size_t first = line.find(' ');
        const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
        if (second == std::string::npos || line.compare(second + 1, id.size() + 1, id + ' ') != 0)
            continue;
        const size_t options = line.rfind(' ');
        return options == std::string::npos ? std::string() : ',' + line.substr(options + 1) + ',';
    }
    return std::string();
}

// Whether a lock taken on the file by a process on another machine shows
// here. File systems of this machine see every lock taken on them (those
// it shares with others too: their servers take them here). A network
// share sees them when it sends its locks to its server, which NFS and SMB
// do unless mounted to keep them here; a FUSE file system may or may not,
// and cannot be asked.
bool locksReachEveryMachine(int fd, dev_t device)
{
    constexpr long FUSE = 0x65735546;
    constexpr long NFS = 0x6969;
    constexpr long CIFS = 0xff534d42;
    constexpr long SMB2 = 0xfe534d42;
    struct statfs system;
    if (::fstatfs(fd, &system) != 0)
        return false;
    const long type = long(system.f_type);
    if (type == FUSE)
        return false;
    if (type == NFS) {
        const std::string options = mountOptionsOf(device);
        return options.find(",local_lock=") == std::string::npos
                || options.find(",local_lock=none,") != std::string::npos;
    }
    if (type == CIFS || type == SMB2)
        return mountOptionsOf(device).find(",nobrl,") == std::string::npos;
    return true;
}

// Whether the file of claims in folder holds a claim of pid, wherever the
// process that holds it runs.
Claimed claimIn(const std::string &folder, long long pid)
{
    const std::string path = folder + '/' + std::string(CLAIMS);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? NOT_CLAIMED : CANNOT_TELL;
    struct stat info;
    struct flock lock = byteOf(pid, F_WRLCK);
    const bool told = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && locksReachEveryMachine(fd, info.st_dev)
            && ::fcntl(fd, F_OFD_GETLK, &lock) == 0;
    ::close(fd);
    return !told ? CANNOT_TELL : lock.l_type == F_UNLCK ? NOT_CLAIMED : CLAIMED;
}

} // namespace

std::string make(Kind kind, std::string_view file_name)
{
    static std::atomic<unsigned> counter{0};
    const std::string pid = std::to_string(static_cast<long long>(::getpid()));
    if (kind == SCRATCH) {
        thread_local std::mt19937_64 random{std::random_device{}()};
        std::string tag;
        for (unsigned long long value = random() & 0xffffffffffffULL; value > 0 || tag.empty(); value /= 36)
            tag += "0123456789abcdefghijklmnopqrstuvwxyz"[value % 36];
        return std::string(SCRATCH_PREFIX) + pid + '-' + tag;
    }
    std::string mark(MARK);
    for (const Word &known : WORDS)
        if (known.kind == kind)
            mark += known.text;
    mark += pid + '-' + std::to_string(counter.fetch_add(1));
    return '.' + borrowed(file_name, mark.size()) + mark;
}

Kind parse(std::string_view name, long long *pid)
{
    long long value = 0;
    Kind kind = NONE;
    if (name.substr(0, SCRATCH_PREFIX.size()) == SCRATCH_PREFIX) {
        if (!parseProcessMark(name.substr(SCRATCH_PREFIX.size()), false, &value))
            return NONE;
        kind = SCRATCH;
    } else if (markAt(name, &kind, &value) == std::string_view::npos) {
        return NONE;
    }
    if (pid)
        *pid = value;
    return kind;
}

std::string ownerName(std::string_view name)
{
    Kind kind = NONE;
    long long pid = 0;
    const size_t at = markAt(name, &kind, &pid);
    if (at == std::string_view::npos)
        return std::string();
    const std::string_view part = name.substr(1, at - 1);
    // A part that may be the start of a longer name and its checksum.
    const size_t room = LONGEST_NAME - 1 - (name.size() - at);
    bool may_be_shortened
            = part.size() + 3 >= room && part.size() >= CHECKSUM_SIZE && part[part.size() - CHECKSUM_SIZE] == '~';
    for (size_t i = part.size() - CHECKSUM_SIZE + 1; may_be_shortened && i < part.size(); ++i)
        may_be_shortened = std::isxdigit(static_cast<unsigned char>(part[i])) != 0;
    return may_be_shortened ? std::string() : std::string(part);
}

bool belongsTo(std::string_view name, std::string_view file_name)
{
    Kind kind = NONE;
    long long pid = 0;
    const size_t at = markAt(name, &kind, &pid);
    return at != std::string_view::npos && !file_name.empty()
            && name.substr(1, at - 1) == borrowed(file_name, name.size() - at);
}

bool claim(const std::string &folder)
{
    std::lock_guard<std::mutex> locker(g_claims_mutex);
    for (const Claim &held : g_claims)
        if (held.folder == folder)
            return true;
    const std::string path = folder + '/' + std::string(CLAIMS);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    // Made by another user: a read lock needs only reading.
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    struct flock lock = byteOf(::getpid(), F_RDLCK);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        ::close(fd);
        return false;
    }
    // Held until the process ends, when the system lets it go.
    g_claims.push_back({folder, fd});
    return true;
}

void release(const std::string &folder)
{
    std::lock_guard<std::mutex> locker(g_claims_mutex);
    for (auto held = g_claims.begin(); held != g_claims.end(); ++held) {
        if (held->folder == folder) {
            ::close(held->fd);
            g_claims.erase(held);
            return;
        }
    }
}

bool ownerMayRun(const std::string &path, long long pid)
{
    if (pid == ::getpid() || ::kill(pid_t(pid), 0) == 0 || errno == EPERM)
        return true;
    // Elsewhere: in another pid namespace, or on another machine.
    for (std::string folder = path;; folder = parentOf(folder)) {
        if (claimIn(folder, pid) != NOT_CLAIMED)
            return true;
        if (folder.empty())
            return false;
    }
}

} // namespace OwnNames
} // namespace Velmora
