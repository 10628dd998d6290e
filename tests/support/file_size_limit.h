#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

#include <csignal>

#include <sys/resource.h>

namespace test {

// While it lives, no file of this process can grow past bytes: a write
// beyond fails with EFBIG (SIGXFSZ is ignored), as a write to a full disk
// fails with ENOSPC. Needs no privileges; the old limit comes back at the
// end. Pipes (the test's output) are not affected.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        ok_ = ::getrlimit(RLIMIT_FSIZE, &old_) == 0;
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        ok_ = ok_ && ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (ok_)
            ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isActive() const { return ok_; }

private:
    rlimit old_{};
    void (*old_handler_)(int) = SIG_DFL;
    bool ok_ = false;
};

// Every name in a folder, hidden ones included (a left-over temporary file
// shows here).
inline QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace test
