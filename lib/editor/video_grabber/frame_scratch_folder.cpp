#include "editor/video_grabber/frame_scratch_folder.h"

#include "core/base/leftover_sweeper.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int MAX_NAME_ATTEMPTS = 16;

// The file system cannot do what was asked in that way (as opposed to a
// taken name, a full disk, a refused permission).
bool notSupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP || error == EPERM
            || error == EMLINK || error == EXDEV;
}

// Takes the name target by creating it exclusively, then renames from over
// that empty file, which is still the one made here.
bool moveOverReservation(const QByteArray &from, const QByteArray &to)
{
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        // The name was free (else EEXIST); an empty file under it now is
        // the half-made entry of a full FAT folder.
        const int error = errno;
        struct stat left;
        if (error != EEXIST && ::lstat(to.constData(), &left) == 0 && S_ISREG(left.st_mode) && left.st_size == 0)
            ::unlink(to.constData());
        errno = error;
        return false;
    }
    struct stat made;
    const bool known = ::fstat(fd, &made) == 0;
    ::close(fd);
    struct stat now;
    const bool still_ours = known && ::lstat(to.constData(), &now) == 0 && S_ISREG(now.st_mode)
            && now.st_dev == made.st_dev && now.st_ino == made.st_ino && now.st_size == 0;
    if (still_ours && ::rename(from.constData(), to.constData()) == 0)
        return true;
    const int error = still_ours ? errno : EEXIST;
    if (still_ours)
        ::unlink(to.constData());
    errno = error;
    return false;
}

} // namespace

FrameScratchFolder::FrameScratchFolder(const QString &folder)
{
    for (int attempt = 0; attempt < MAX_NAME_ATTEMPTS; ++attempt) {
        const QString path = folder + QLatin1Char('/') + base::LeftoverSweeper::scratchName();
        // The mode is given at creation: nothing to change afterwards.
        const QByteArray native = QFile::encodeName(path);
        if (::mkdir(native.constData(), 0700) == 0) {
            path_ = path;
            return;
        }
        if (errno == EEXIST)
            continue;
        // A full FAT folder reports the failure but keeps a half-made
        // entry: the name was free, so what is there now is that one.
        const int error = errno;
        ::rmdir(native.constData());
        errno = error;
        return;
    }
}

FrameScratchFolder::~FrameScratchFolder()
{
    if (path_.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(path_);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr) {
        while (const dirent *entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
                ::unlinkat(fd, entry->d_name, 0);
        ::closedir(dir);
    } else if (fd >= 0) {
        ::close(fd);
    }
    ::rmdir(path.constData());
}

bool FrameScratchFolder::moveOut(const QString &name, const QString &target)
{
    const QByteArray from = QFile::encodeName(filePath(name));
    const QByteArray to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (!notSupported(errno))
        return false;
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (!notSupported(errno))
        return false;
    return moveOverReservation(from, to);
}
