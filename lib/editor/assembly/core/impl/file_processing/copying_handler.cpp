#include "editor/assembly/core/impl/file_processing/copying_handler.h"

#include "core/base/thread_group.h"
#include "core/base/worker_count.h"
#include "editor/assembly/core/path_utils.h"

#include <editor_core/fs/FileSystem.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// Copies the items on a few threads while the caller takes the results one
// by one in item order (to log and report them as a copy one after the
// other would). The threads run at most LOOK_AHEAD items ahead of the last
// item reported, and an item whose destination an earlier item names too
// waits for that one, so that the earlier item gets the file.
class ParallelCopy
{
public:
    struct Job
    {
        bool safe = false;
        int after = -1; // the last earlier item with the same destination
        QString destination;
        // Set by the thread that copied the item:
        bool done = false;
        bool copied = false; // the destination holds the whole copy
        QString error;
    };

    ParallelCopy(const fp::CopyItems &items, std::vector<Job> &jobs)
        : items_(items)
        , jobs_(jobs)
    {
        const int threads = std::min({COPY_THREADS, base::WorkerCount::ofMachine(), int(jobs_.size())});
        // Fewer threads share the items; with none, waitFor copies each
        // item itself.
        for (int i = 0; i < threads; ++i) {
            if (!threads_.start([this] { work(); }))
                break;
        }
    }
    ~ParallelCopy() { stop(); }
    ParallelCopy(const ParallelCopy &) = delete;
    ParallelCopy &operator=(const ParallelCopy &) = delete;

    // Waits until item k has been copied (or has failed).
    const Job &waitFor(int k)
    {
        Job &job = jobs_[size_t(k)];
        if (threads_.empty()) {
            job.copied = job.safe && CopyingHandler::copyFile(items_.at(k).source_path, job.destination, job.error);
            job.done = true;
            return job;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        done_changed_.wait(lock, [&] { return job.done; });
        return job;
    }

    // Item k has been reported: the threads may go further.
    void reported(int k)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reported_ = k;
        }
        window_moved_.notify_all();
    }

    // Stops the threads and removes the files of the items after k that
    // were copied ahead, so that only reported copies are left.
    void cancelAfter(int k)
    {
        stop();
        for (size_t i = size_t(k) + 1; i < jobs_.size(); ++i) {
            if (jobs_[i].done && jobs_[i].copied)
                ::unlink(QFile::encodeName(jobs_[i].destination).constData());
        }
    }

private:
    static constexpr int COPY_THREADS = 4;
    static constexpr int LOOK_AHEAD = 64;

    void work()
    {
        const int count = int(jobs_.size());
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            window_moved_.wait(lock, [&] { return stopping_ || next_ >= count || next_ <= reported_ + LOOK_AHEAD; });
            if (stopping_ || next_ >= count)
                return;
            const int k = next_++;
            Job &job = jobs_[size_t(k)];
            if (job.after >= 0) {
                done_changed_.wait(lock, [&] { return stopping_ || jobs_[size_t(job.after)].done; });
                if (stopping_)
                    return;
            }
            lock.unlock();
            QString error;
            const bool copied = job.safe && CopyingHandler::copyFile(items_.at(k).source_path, job.destination, error);
            lock.lock();
            job.copied = copied;
            job.error = error;
            job.done = true;
            done_changed_.notify_all();
        }
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        window_moved_.notify_all();
        done_changed_.notify_all();
        threads_.join();
    }

    const fp::CopyItems &items_;
    std::vector<Job> &jobs_;
    std::mutex mutex_;
    std::condition_variable done_changed_;
    std::condition_variable window_moved_;
    int next_ = 0;
    int reported_ = -1;
    bool stopping_ = false;
    base::ThreadGroup threads_;
};

} // namespace

namespace {

bool modeNotStored(int error)
{
#if EOPNOTSUPP != ENOTSUP
    if (error == EOPNOTSUPP)
        return true;
#endif
    return error == EPERM || error == ENOSYS || error == ENOTSUP;
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
    // A file system that stores no modes (FAT, some network shares)
    // refuses the change; the copy is whole without it.
    if (ok && ::fchmod(out.get(), mode) != 0 && !modeNotStored(errno)) {
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

    // One pass over the items: the folders to create, the items that are
    // refused, and for each destination named twice the item that names it
    // before (the later one must fail against the earlier one's file, as it
    // would when copying one after the other).
    QSet<QString> folders;
    QStringList ordered_folders;
    std::vector<ParallelCopy::Job> jobs(size_t(items.size()));
    QHash<QString, int> destinations;
    destinations.reserve(items.size());
    for (int k = 0; k < items.size(); ++k) {
        const fp::CopyItem &item = items.at(k);
        ParallelCopy::Job &job = jobs[size_t(k)];
        job.safe = isSafeRelativePath(item.relative_dest);
        if (!job.safe)
            continue; // refused below, when its turn comes
        job.destination = output_path_ + item.relative_dest;
        const QString folder = ::fs::pathname(item.relative_dest);
        if (!folder.isEmpty() && !folders.contains(folder)) {
            folders.insert(folder);
            ordered_folders << folder;
        }
        // Folded case: a file system that ignores case sees one file there.
        auto previous = destinations.find(item.relative_dest.toCaseFolded());
        if (previous == destinations.end()) {
            destinations.insert(item.relative_dest.toCaseFolded(), k);
        } else {
            job.after = previous.value();
            previous.value() = k;
        }
    }
    destinations.clear();
    for (const QString &folder : ordered_folders) {
        if (!QDir().mkpath(output_path_ + folder)) {
            qCritical() << "Build Tool: can't create directory (" << output_path_ + folder << ").";
            return false;
        }
    }
    if (!progress(max, 1))
        return false;

    ParallelCopy copies(items, jobs);
    int failed = 0;
    for (int k = 0; k < items.size(); ++k) {
        const ParallelCopy::Job &job = copies.waitFor(k);
        const fp::CopyItem &item = items.at(k);
        if (!job.safe) {
            qCritical() << "Build Tool: can't copy file (" << item.source_path
                        << ") to a place outside the build folder (" << item.relative_dest << ").";
            ++failed;
        } else if (!job.copied) {
            qCritical() << "Build Tool: can't copy file (" << item.source_path << ") to (" << job.destination
                        << "):" << job.error;
            ++failed;
        }
        copies.reported(k);
        if (!progress(max, k + 2)) {
            copies.cancelAfter(k);
            return false;
        }
    }
    if (failed > 0) {
        qCritical() << "Build Tool:" << failed << "of" << items.size()
                    << "files could not be copied; the build folder is incomplete.";
        return false;
    }
    return true;
}

} // namespace assembly
