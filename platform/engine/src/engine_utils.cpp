#include "velmora/FileSystem.h"
#include "velmora/Log.h"
#include "velmora/LogHold.h"
#include "velmora/OwnNames.h"
#include "velmora/UGUID.h"
#include "velmora/WriteWatch.h"
#include "velmora/Xml.h"

#include "engine_internal.h"
#include "thread_kit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Velmora {
namespace engine_internal {

String resolveDataFile(const char *name)
{
    if (!name || !*name)
        return String();
    if (UGUID::isGUIDText(name))
        return FileSystem::getAbsolutePath(UGUID(name));
    String path = FileSystem::getAbsolutePath(name);
    if (!path.empty())
        return path;
    const QString text = QString::fromUtf8(name);
    QString candidate;
    if (QDir::isAbsolutePath(text)) {
        candidate = text;
    } else {
        const String data = dataPath();
        if (data.empty())
            return String();
        candidate = QString::fromUtf8(data.get()) + text;
    }
    const QFileInfo info(candidate);
    if (info.isFile())
        return String(QDir::cleanPath(info.absoluteFilePath()).toUtf8().constData());
    return String();
}

String toDataRelative(const String &absolute)
{
    const String data = dataPath();
    if (!data.empty() && absolute.startsWith(data.get()))
        return absolute.substr(data.size());
    return absolute;
}

namespace {

String errnoText(int error)
{
    return String(std::strerror(error));
}

// Writes every byte to fd, across short writes and interruptions.
bool writeAll(int fd, const char *data, size_t size, String &reason)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            reason = written < 0 ? errnoText(errno) : String("nothing was written");
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

// A name beside the target that nothing else uses: created exclusively.
int createTemporary(const QByteArray &target, QByteArray &temporary, String &reason)
{
    const int slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    const QByteArray name = target.mid(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + QByteArray::fromStdString(OwnNames::make(OwnNames::TEMPORARY, name.toStdString()));
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            reason = errnoText(errno);
            return -1;
        }
    }
    reason = "no free temporary name";
    return -1;
}

// The path with every symbolic link resolved ("" when it cannot be).
QByteArray resolvedPath(const char *path, int &error)
{
    char *resolved = ::realpath(path, nullptr);
    error = resolved ? 0 : errno;
    const QByteArray result = resolved ? QByteArray(resolved) : QByteArray();
    std::free(resolved);
    return result;
}

// A document saved under a symbolic link is the file the link leads to,
// provided that file lies inside the data folder (both compared with every
// link resolved, the data folder's own included). A link leading outside,
// nowhere or round in a loop is refused: writing through it would change a
// file elsewhere or make one, and replacing it would cut it.
bool followLink(const QByteArray &link, QByteArray &target, String &reason)
{
    int error = 0;
    target = resolvedPath(link.constData(), error);
    if (target.isEmpty()) {
        reason = error == ELOOP   ? String("the name is a loop of symbolic links")
                : error == ENOENT ? String("the name is a symbolic link that leads nowhere")
                                  : String("the name is a symbolic link that cannot be followed: ") + errnoText(error);
        return false;
    }
    const String data = dataPath();
    const QByteArray folder = data.empty() ? QByteArray() : resolvedPath(data.get(), error);
    if (folder.isEmpty() || !target.startsWith(folder.endsWith('/') ? folder : folder + '/')) {
        reason = "the name is a symbolic link that leads outside the data folder";
        return false;
    }
    return true;
}

// A file system that stores no modes (FAT, some network shares) refuses to
// change one; the file is whole without it.
bool modeNotStored(int error)
{
#if EOPNOTSUPP != ENOTSUP
    if (error == EOPNOTSUPP)
        return true;
#endif
    return error == EPERM || error == ENOSYS || error == ENOTSUP;
}

// Writes data whole to the file target names (or, for a link inside the data
// folder, to the file it leads to): a temporary file in that file's folder,
// then a rename over it. On any failure the file keeps its bytes and the
// temporary file is gone.
bool commitWholeFile(const QByteArray &name, const char *data, size_t size, String &reason)
{
    QByteArray target = name;
    struct stat existing;
    const bool exists = ::lstat(target.constData(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        reason = errnoText(errno);
        return false;
    }
    if (exists && S_ISLNK(existing.st_mode)) {
        if (!followLink(name, target, reason))
            return false;
        if (::lstat(target.constData(), &existing) != 0) {
            reason = errnoText(errno);
            return false;
        }
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        reason = "the name is not a plain file";
        return false;
    }
    if (exists && ::access(target.constData(), W_OK) != 0) {
        reason = "the existing file is not writable";
        return false;
    }
    QByteArray temporary;
    const int fd = createTemporary(target, temporary, reason);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, data, size, reason);
    if (ok && exists && ::fchmod(fd, existing.st_mode & 07777) != 0 && !modeNotStored(errno)) {
        reason = errnoText(errno);
        ok = false;
    }
    // A file system that buffers writes reports a full disk here at the
    // latest.
    if (ok && ::fsync(fd) != 0 && errno != EINVAL) {
        reason = errnoText(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        reason = errnoText(errno);
        ok = false;
    }
    std::string refused;
    if (ok && !WriteWatch::approve(target.constData(), data, size, &refused)) {
        reason = refused.c_str();
        ok = false;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        reason = errnoText(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

} // namespace

bool writeFileAtomic(const char *path, const char *data, size_t size, String *error)
{
    String reason;
    bool written = false;
    if (!path || !*path)
        reason = "no file name";
    else
        written = commitWholeFile(QFile::encodeName(QString::fromUtf8(path)), data, size, reason);
    if (written)
        return true;
    if (error)
        *error = reason;
    else
        Log::error("cannot write \"%s\": %s\n", path ? path : "", reason.get());
    return false;
}

bool writeFileAtomic(const String &path, const QByteArray &data)
{
    return writeFileAtomic(path.get(), data.constData(), size_t(data.size()));
}

bool readFile(const String &path, QByteArray &data)
{
    return readWholeFile(path.get(), std::numeric_limits<int>::max() - 1, data) == FileRead::OK;
}

void forEachOnThreads(size_t count, const std::function<void(size_t)> &work)
{
    std::vector<LogHold::Lines> lines(count);
    std::atomic<size_t> next{0};
    constexpr size_t CHUNK = 16;
    auto run = [&] {
        // The files of one pass do not move: each thread keeps the handle of
        // the folder it last opened a file in.
        Xml::FolderScope folders;
        for (size_t begin = next.fetch_add(CHUNK); begin < count; begin = next.fetch_add(CHUNK)) {
            for (size_t i = begin; i < std::min(count, begin + CHUNK); ++i) {
                LogHold hold(&lines[i]);
                work(i);
            }
        }
    };
    const size_t threads = std::min<size_t>(workerCount(), count / CHUNK + 1);
    runOnThreads(threads - 1, [&run](bool caller) {
        // Opening and closing files takes the lock of the process's table
        // of descriptors; a table of its own spares a started thread the
        // wait (work closes what it opens).
        if (!caller)
            ::unshare(CLONE_FILES);
        run();
    });
    for (LogHold::Lines &held : lines)
        LogHold::release(held);
}

int openRegularFile(const char *path)
{
    // Through the folder of this thread's scope, if any; the open does not
    // wait, so a FIFO or device is refused by fstat instead of blocking.
    const int fd = Xml::openForReading(path);
    if (fd < 0)
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

FileRead readWholeFile(const char *path, long long max_size, QByteArray &data)
{
    data.clear();
    const int fd = openRegularFile(path);
    if (fd < 0)
        return FileRead::CANNOT_OPEN;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return FileRead::CANNOT_OPEN;
    }
    if (info.st_size > max_size) {
        ::close(fd);
        return FileRead::TOO_LARGE;
    }
    // One byte more than the file's size: a read that ends at that size
    // tells the file has ended, without a second read or a larger buffer.
    const long long expected = info.st_size;
    data.resize(int(std::min<long long>(max_size + 1, expected + 1)));
    long long done = 0;
    for (;;) {
        if (done == data.size()) {
            // The file has grown since fstat: read on until it ends.
            if (done >= max_size + 1)
                break;
            data.resize(int(std::min<long long>(max_size + 1, done + 4096)));
        }
        const ssize_t n = ::read(fd, data.data() + done, size_t(data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            data.clear();
            return FileRead::CANNOT_READ;
        }
        if (n == 0)
            break;
        done += n;
        if (done == expected && done < data.size())
            break;
    }
    ::close(fd);
    data.resize(int(done));
    return FileRead::OK;
}

String formatFloat(float value)
{
    // Shortest text that reads back as the same float, independent of the
    // process locale.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer) - 1, value);
    *result.ptr = '\0';
    return String(buffer);
}

int parseFloats(const char *text, float *values, int max)
{
    if (!text)
        return 0;
    int count = 0;
    const char *p = text;
    const char *end = text + std::strlen(text);
    while (count < max) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == ','))
            ++p;
        if (p < end && *p == '+')
            ++p;
        float value = 0.0f;
        const auto result = std::from_chars(p, end, value);
        if (result.ec != std::errc() || result.ptr == p)
            break;
        values[count++] = value;
        p = result.ptr;
    }
    return count;
}

} // namespace engine_internal
} // namespace Velmora
