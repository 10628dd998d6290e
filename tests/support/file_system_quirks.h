#pragma once

#include <QtGlobal>

namespace test {

// While it lives, the process sees a file system that stores no hard links,
// no symbolic links and no modes, as a FAT folder mounted through FUSE or
// some network shares: link, linkat, symlink, symlinkat, chmod, fchmod and
// fchmodat fail with the given error (EPERM by default), and a renameat2
// with flags (RENAME_NOREPLACE or an exchange) fails with EINVAL, as FUSE answers for such
// a file system. Every caller is
// affected, the engine's and editor-core's libraries and Qt included; the
// calls are caught in this test program (file_system_quirks.cpp), so no
// LD_PRELOAD is needed. Not nestable.
class NoLinksOrModes
{
public:
    explicit NoLinksOrModes(int error = 0);
    ~NoLinksOrModes();

    // How many calls were refused since this object was made.
    int refusedCalls() const;

private:
    Q_DISABLE_COPY(NoLinksOrModes)
};

// While it lives, the process sees a file system with no free inode: a new
// name that needs one fails with ENOSPC (open or openat with O_CREAT of a
// name that is not there, O_TMPFILE, mkdir, symlink), while existing files
// open, a hard link and a rename still work. Given a text, only new names
// whose path holds it are refused. Caught in this test program as
// NoLinksOrModes's calls are; not nestable.
class NoFreeInodes
{
public:
    explicit NoFreeInodes(const char *only_paths_with = "");
    ~NoFreeInodes();

    // How many calls were refused since this object was made.
    int refusedCalls() const;

private:
    Q_DISABLE_COPY(NoFreeInodes)
};

} // namespace test
