#include "file_system_quirks.h"

#include <atomic>
#include <cerrno>
#include <cstdio>

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

template<typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
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
    if (refuse())
        return -1;
    static const auto real = next<int (*)(const char *, const char *)>("symlink");
    return real(target, name);
}

int symlinkat(const char *target, int dir, const char *name)
{
    if (refuse())
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

} // extern "C"
