#pragma once

#include "thread_refusal.h"

#include <QtGlobal>

#include <optional>

namespace test {

// While it lives, the process may have at most `threads` threads at once,
// itself included, as under a limit on a user's processes (RLIMIT_NPROC,
// which root does not feel): pthread_create refuses any thread beyond it
// with EAGAIN. Every caller is affected, std::thread, QThread and Qt's own
// pools included; the call is caught in this test program
// (thread_limit.cpp), so no LD_PRELOAD is needed. Threads running already
// count, but are not stopped (the idle threads of Qt's pools included: see
// ThreadRefusal for a pool that must start its threads). Not nestable.
class ThreadLimit
{
public:
    explicit ThreadLimit(int threads);
    ~ThreadLimit();

    // Threads refused since this object was made.
    int refusedStarts() const;
    // Threads of the process now (every thread started since it began, that
    // has not ended, and its first).
    static int running();

private:
    Q_DISABLE_COPY(ThreadLimit)
};

// The threads a test row allows while it lives: any (threads < 0), no new
// one at all (0: ThreadRefusal), or at most `threads` more than run now.
class ThreadsAllowed
{
public:
    explicit ThreadsAllowed(int threads)
    {
        if (threads == 0)
            refusal_.emplace();
        else if (threads > 0)
            limit_.emplace(ThreadLimit::running() + threads);
    }

private:
    std::optional<ThreadRefusal> refusal_;
    std::optional<ThreadLimit> limit_;
};

} // namespace test
