#include "editor/tools/file_keeper.h"

#include <velmora/OwnNames.h>

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Impostors {

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A hidden name beside path that nothing else uses yet (the caller makes
// it exist, exclusively).
QByteArray hiddenName(const QByteArray &path)
{
    const int slash = path.lastIndexOf('/');
    return path.left(slash + 1)
            + QByteArray::fromStdString(
                    Velmora::OwnNames::make(Velmora::OwnNames::KEPT, path.mid(slash + 1).toStdString()));
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

bool copyAll(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t read = ::read(from, buffer, sizeof buffer);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return false;
        if (read == 0)
            return true;
        if (!writeAll(to, buffer, size_t(read)))
            return false;
    }
}

// A new exclusive file by a hidden name beside path; -1 when none can be
// made.
int createHidden(const QByteArray &path, QByteArray &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = hiddenName(path);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// The copy is written whole under its hidden name, or removed.
bool copyWhole(const QByteArray &path, mode_t mode, QByteArray &name, QString *error)
{
    const int from = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (from < 0) {
        *error = errnoText(errno);
        return false;
    }
    const int to = createHidden(path, name);
    if (to < 0) {
        *error = errnoText(errno);
        ::close(from);
        return false;
    }
    bool ok = copyAll(from, to);
    int failure = ok ? 0 : errno;
    // The mode is kept where the file system stores one.
    if (ok)
        (void)::fchmod(to, mode & 07777);
    if (ok && ::fsync(to) != 0 && errno != EINVAL) {
        ok = false;
        failure = errno;
    }
    if (::close(to) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    ::close(from);
    if (!ok) {
        *error = errnoText(failure);
        ::unlink(name.constData());
    }
    return ok;
}

} // namespace

bool FileKeeper::keep(const QString &path, QString *kept, QString *error)
{
    kept->clear();
    const QByteArray target = QFile::encodeName(path);
    struct stat existing;
    if (::lstat(target.constData(), &existing) != 0) {
        if (errno == ENOENT)
            return true;
        *error = errnoText(errno);
        return false;
    }
    if (!S_ISREG(existing.st_mode))
        return true;
    // A second name for the same contents costs nothing; a write over path
    // replaces path's name, not these contents.
    QByteArray name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = hiddenName(target);
        if (::link(target.constData(), name.constData()) == 0) {
            *kept = QFile::decodeName(name);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    // No hard links here (FAT, some network shares): a copy.
    if (!copyWhole(target, existing.st_mode, name, error))
        return false;
    *kept = QFile::decodeName(name);
    return true;
}

bool FileKeeper::putBack(const QString &path, const QString &kept, QString *error)
{
    const QByteArray from = QFile::encodeName(kept);
    const QByteArray to = QFile::encodeName(path);
    // Two names of one file (nothing was written over): a rename would leave
    // both, and the kept name is only a second one.
    struct stat kept_info;
    struct stat info;
    if (::lstat(from.constData(), &kept_info) == 0 && ::lstat(to.constData(), &info) == 0
        && kept_info.st_dev == info.st_dev && kept_info.st_ino == info.st_ino) {
        ::unlink(from.constData());
        return true;
    }
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    *error = errnoText(errno);
    return false;
}

void FileKeeper::discard(const QString &kept)
{
    const QString name = QFileInfo(kept).fileName();
    if (kept.isEmpty() || Velmora::OwnNames::parse(QFile::encodeName(name).toStdString()) != Velmora::OwnNames::KEPT)
        return;
    ::unlink(QFile::encodeName(kept).constData());
}

} // namespace Impostors
