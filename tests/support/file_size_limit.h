#pragma once

#include <QDir>
#include <QStringList>

#include <csignal>

#include <sys/resource.h>

namespace test {

// While it lives, a write past bytes into any file of this process fails
// with EFBIG (SIGXFSZ ignored), as a write to a full disk fails; pipes are
// not affected. Needs no privileges.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
        : old_handler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        if (::getrlimit(RLIMIT_FSIZE, &old_) != 0)
            return;
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (active_)
            ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }
    bool isActive() const { return active_; }

private:
    Q_DISABLE_COPY(FileSizeLimit)

    rlimit old_{};
    void (*old_handler_)(int);
    bool active_ = false;
};

// Every name in a folder, hidden ones (a left temporary file) included.
inline QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace test
