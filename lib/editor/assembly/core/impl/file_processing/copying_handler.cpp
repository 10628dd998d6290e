#include "editor/assembly/core/impl/file_processing/copying_handler.h"

#include "editor/assembly/core/path_utils.h"

#include <editor_core/fs/FileSystem.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>
#include <QtDebug>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace assembly {

namespace {

constexpr mode_t SCRIPT_MODE = 0755;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a descriptor at the end of its scope.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    // Closes now; false when close reports a write error.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Copies the whole content: a reflink, the kernel's copy_file_range, or a
// plain read/write loop, whichever works first.
bool copyContent(int in, int out, off_t size)
{
    if (size > 0 && ::ioctl(out, FICLONE, in) == 0)
        return true;

    off_t left = size;
    bool kernel_copy = true;
    while (left > 0 && kernel_copy) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, size_t(left), 0);
        if (copied > 0) {
            left -= copied;
        } else if (copied == 0) {
            break; // the source got shorter; the read loop below finds the end
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            kernel_copy = false;
        } else {
            return false;
        }
    }
    if (kernel_copy && left == 0)
        return true;

    // Go on from wherever the kernel copy stopped.
    const off_t done = size - left;
    if (::lseek(in, done, SEEK_SET) < 0 || ::lseek(out, done, SEEK_SET) < 0)
        return false;
    static constexpr size_t BUFFER_SIZE = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[BUFFER_SIZE]);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), BUFFER_SIZE);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        if (!writeAll(out, buffer.get(), got))
            return false;
    }
}

} // namespace

CopyingHandler::CopyingHandler(const QString &output_path)
    : output_path_(output_path)
{}

bool CopyingHandler::copyFile(const QString &source, const QString &destination, QString &error)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);

    Descriptor in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    struct stat info;
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0) {
        error = errnoText(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = QStringLiteral("not a regular file");
        return false;
    }
    const mode_t mode = destination.endsWith(QLatin1String(".sh")) ? SCRIPT_MODE : (info.st_mode & 0777);
    Descriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        error = errno == EEXIST ? QStringLiteral("the destination exists already") : errnoText(errno);
        return false;
    }
    // From here on the destination is ours: any failure removes it.
    bool ok = copyContent(in.get(), out.get(), info.st_size);
    int failure = ok ? 0 : errno;
    if (ok && ::fchmod(out.get(), mode) != 0) {
        ok = false;
        failure = errno;
    }
    if (!out.close() && ok) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        ::unlink(to.constData());
        error = errnoText(failure);
    }
    return ok;
}

bool CopyingHandler::copy(const ProgressCallback &progress, const fp::CopyItems &items,
                          post::OperationQueue & /*queue*/)
{
    if (output_path_.isEmpty() || !output_path_.endsWith(QLatin1Char('/')) || QDir::isRelativePath(output_path_)) {
        qCritical() << "Build Tool: the build folder (" << output_path_ << ") is not an absolute folder path.";
        return false;
    }
    const int max = getMaxProgress(items.size());

    int failed = 0;
    QSet<QString> folders;
    QStringList ordered_folders;
    for (const fp::CopyItem &item : items) {
        if (!isSafeRelativePath(item.relative_dest))
            continue; // refused below, when its turn comes
        const QString folder = ::fs::pathname(item.relative_dest);
        if (!folder.isEmpty() && !folders.contains(folder)) {
            folders.insert(folder);
            ordered_folders << folder;
        }
    }
    for (const QString &folder : ordered_folders) {
        if (!QDir().mkpath(output_path_ + folder)) {
            qCritical() << "Build Tool: can't create directory (" << output_path_ + folder << ").";
            return false;
        }
    }
    if (!progress(max, 1))
        return false;

    for (int k = 0; k < items.size(); ++k) {
        const fp::CopyItem &item = items.at(k);
        if (!isSafeRelativePath(item.relative_dest)) {
            qCritical() << "Build Tool: can't copy file (" << item.source_path
                        << ") to a place outside the build folder (" << item.relative_dest << ").";
            ++failed;
        } else {
            QString error;
            if (!copyFile(item.source_path, output_path_ + item.relative_dest, error)) {
                qCritical() << "Build Tool: can't copy file (" << item.source_path << ") to ("
                            << output_path_ + item.relative_dest << "):" << error;
                ++failed;
            }
        }
        if (!progress(max, k + 2))
            return false;
    }
    if (failed > 0) {
        qCritical() << "Build Tool:" << failed << "of" << items.size()
                    << "files could not be copied; the build folder is incomplete.";
        return false;
    }
    return true;
}

} // namespace assembly
