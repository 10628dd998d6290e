#include "core/base/regular_file.h"

#include <QFile>
#include <QtDebug>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace base {

namespace {

void setReason(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
}

} // namespace

QString RegularFile::whyNotRegular(unsigned mode)
{
    if (S_ISREG(mode))
        return QString();
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a FIFO, not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a regular file");
    return QStringLiteral("it is not a regular file");
}

int RegularFile::open(const QString &path, QString *reason)
{
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        setReason(reason, qt_error_string(errno));
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        setReason(reason, qt_error_string(errno));
        ::close(fd);
        return -1;
    }
    const QString why = whyNotRegular(info.st_mode);
    if (!why.isEmpty()) {
        setReason(reason, why);
        ::close(fd);
        return -1;
    }
    // A regular file never waits; reads after this are plain ones.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool RegularFile::readAll(int fd, qint64 limit, QByteArray &bytes, QString *reason)
{
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            setReason(reason, qt_error_string(errno));
            return false;
        }
        if (n == 0)
            return true;
        if (bytes.size() + n > limit) {
            setReason(reason, QStringLiteral("it is larger than %1 bytes").arg(limit));
            return false;
        }
        bytes.append(buffer, int(n));
    }
}

} // namespace base
