#include "file_system_quirks.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> refused_error{0}; // 0: calls go through
std::atomic<int> refused_calls{0};

bool refuse()
{
    const int error = refused_error.load();
    if (error == 0)
        return false;
    refused_calls.fetch_add(1);
    errno = error;
    return true;
}

std::atomic<bool> no_inodes{false};
std::atomic<int> inode_refusals{0};
std::string inode_paths; // set while no_inodes is false

bool refuseNewName(const char *path)
{
    if (!no_inodes.load() || (path && !std::strstr(path, inode_paths.c_str())))
        return false;
    inode_refusals.fetch_add(1);
    errno = ENOSPC;
    return true;
}

// A new name that needs an inode, refused with ENOSPC.
bool refuseNewName(int dir, const char *path, int flags)
{
    if (!no_inodes.load() || !(flags & O_CREAT || (flags & O_TMPFILE) == O_TMPFILE)
        || !std::strstr(path, inode_paths.c_str()))
        return false;
    struct stat info;
    if ((flags & O_TMPFILE) != O_TMPFILE && !(flags & O_EXCL) && ::fstatat(dir, path, &info, AT_SYMLINK_NOFOLLOW) == 0)
        return false;
    inode_refusals.fetch_add(1);
    errno = ENOSPC;
    return true;
}

mode_t modeOf(int flags, va_list args)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(args, int)) : 0;
}

template<typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// open, open64, openat and openat64 alike: the C library's openat, unless
// the new name is refused (O_LARGEFILE is a no-op on 64-bit systems).
int openThroughOpenat(int dir, const char *path, int flags, va_list args)
{
    const mode_t mode = modeOf(flags, args);
    if (refuseNewName(dir, path, flags))
        return -1;
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat");
    return real(dir, path, flags, mode);
}

} // namespace

namespace test {

NoLinksOrModes::NoLinksOrModes(int error)
{
    refused_calls.store(0);
    refused_error.store(error != 0 ? error : EPERM);
}

NoLinksOrModes::~NoLinksOrModes()
{
    refused_error.store(0);
}

int NoLinksOrModes::refusedCalls() const
{
    return refused_calls.load();
}

NoFreeInodes::NoFreeInodes(const char *only_paths_with)
{
    inode_paths = only_paths_with;
    inode_refusals.store(0);
    no_inodes.store(true);
}

NoFreeInodes::~NoFreeInodes()
{
    no_inodes.store(false);
}

int NoFreeInodes::refusedCalls() const
{
    return inode_refusals.load();
}

} // namespace test

// These definitions take the place of the C library's for the whole process
// (the libraries that call them resolve to the program's own symbols first).
extern "C" {

int link(const char *from, const char *to)
{
    if (refuse())
        return -1;
    static const auto real = next<int (*)(const char *, const char *)>("link");
    return real(from, to);
}

int linkat(int from_dir, const char *from, int to_dir, const char *to, int flags)
{
    if (refuse())
        return -1;
    static const auto real = next<int (*)(int, const char *, int, const char *, int)>("linkat");
    return real(from_dir, from, to_dir, to, flags);
}

int symlink(const char *target, const char *name)
{
    if (refuse() || refuseNewName(name))
        return -1;
    static const auto real = next<int (*)(const char *, const char *)>("symlink");
    return real(target, name);
}

int symlinkat(const char *target, int dir, const char *name)
{
    if (refuse() || refuseNewName(name))
        return -1;
    static const auto real = next<int (*)(const char *, int, const char *)>("symlinkat");
    return real(target, dir, name);
}

int chmod(const char *path, mode_t mode)
{
    if (refuse())
        return -1;
    static const auto real = next<int (*)(const char *, mode_t)>("chmod");
    return real(path, mode);
}

int fchmod(int fd, mode_t mode)
{
    if (refuse())
        return -1;
    static const auto real = next<int (*)(int, mode_t)>("fchmod");
    return real(fd, mode);
}

// A rename with flags (RENAME_NOREPLACE) is refused as FUSE refuses it
// for a file system that does not implement it; a plain rename still works.
int renameat2(int from_dir, const char *from, int to_dir, const char *to, unsigned int flags)
{
    if (flags != 0 && refused_error.load() != 0) {
        refused_calls.fetch_add(1);
        errno = EINVAL;
        return -1;
    }
    static const auto real = next<int (*)(int, const char *, int, const char *, unsigned int)>("renameat2");
    return real(from_dir, from, to_dir, to, flags);
}

int fchmodat(int dir, const char *path, mode_t mode, int flags)
{
    if (refuse())
        return -1;
    static const auto real = next<int (*)(int, const char *, mode_t, int)>("fchmodat");
    return real(dir, path, mode, flags);
}

int open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = openThroughOpenat(AT_FDCWD, path, flags, args);
    va_end(args);
    return fd;
}

int open64(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = openThroughOpenat(AT_FDCWD, path, flags, args);
    va_end(args);
    return fd;
}

int openat(int dir, const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = openThroughOpenat(dir, path, flags, args);
    va_end(args);
    return fd;
}

int openat64(int dir, const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int fd = openThroughOpenat(dir, path, flags, args);
    va_end(args);
    return fd;
}

int mkdir(const char *path, mode_t mode)
{
    if (refuseNewName(path))
        return -1;
    static const auto real = next<int (*)(const char *, mode_t)>("mkdir");
    return real(path, mode);
}

} // extern "C"
