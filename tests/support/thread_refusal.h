#pragma once

#include <QThreadPool>
#include <QtGlobal>

#include <cstddef>

#include <pthread.h>

namespace test {

// While it lives, every thread the process starts without a stack size of
// its own (std::thread, QThread, the threads of Qt's pools) is refused, as at
// the system's thread limit: each asks for a stack larger than the address
// space. Needs no privileges; threads already running are not affected, but
// Qt's global pool (which Qt's image conversions use too) is emptied first,
// after its work is done, so that its work needs a new thread as in a process
// that starts at the limit.
class ThreadRefusal
{
public:
    ThreadRefusal()
        : has_usual_(::pthread_getattr_default_np(&usual_) == 0)
        , has_refused_(::pthread_attr_init(&refused_) == 0)
    {
        QThreadPool::globalInstance()->waitForDone();
        active_ = has_usual_ && has_refused_ && ::pthread_attr_setstacksize(&refused_, std::size_t(1) << 46) == 0
                && ::pthread_setattr_default_np(&refused_) == 0;
    }
    ~ThreadRefusal()
    {
        if (active_)
            ::pthread_setattr_default_np(&usual_);
        if (has_refused_)
            ::pthread_attr_destroy(&refused_);
        if (has_usual_)
            ::pthread_attr_destroy(&usual_);
    }
    bool isActive() const { return active_; }

private:
    Q_DISABLE_COPY(ThreadRefusal)

    pthread_attr_t usual_{};
    pthread_attr_t refused_{};
    bool has_usual_;
    bool has_refused_;
    bool active_ = false;
};

} // namespace test
