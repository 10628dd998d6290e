#include "thread_limit.h"

#include <atomic>
#include <cerrno>
#include <new>

#include <dlfcn.h>
#include <pthread.h>

namespace {

std::atomic<int> started_threads{0}; // started here and not ended
std::atomic<int> thread_limit{0}; // 0: no limit
std::atomic<int> refused_threads{0};

struct Start
{
    void *(*routine)(void *);
    void *argument;
};

// Counts the thread out however it ends (a return, pthread_exit's unwinding).
struct Leaving
{
    ~Leaving() { started_threads.fetch_sub(1); }
};

void *runCounted(void *start)
{
    const Start what = *static_cast<Start *>(start);
    delete static_cast<Start *>(start);
    const Leaving leaving;
    return what.routine(what.argument);
}

using CreateFunction = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);

CreateFunction realCreate()
{
    static const auto real = reinterpret_cast<CreateFunction>(::dlsym(RTLD_NEXT, "pthread_create"));
    return real;
}

} // namespace

namespace test {

ThreadLimit::ThreadLimit(int threads)
{
    refused_threads.store(0);
    thread_limit.store(threads);
}

ThreadLimit::~ThreadLimit()
{
    thread_limit.store(0);
}

int ThreadLimit::refusedStarts() const
{
    return refused_threads.load();
}

int ThreadLimit::running()
{
    return started_threads.load() + 1;
}

} // namespace test

// This definition takes the place of the C library's for the whole process
// (the libraries that call it resolve to the program's own symbol first).
extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*routine)(void *),
                              void *argument)
{
    const int limit = thread_limit.load();
    const int before = started_threads.fetch_add(1);
    if (limit > 0 && before + 1 >= limit) {
        started_threads.fetch_sub(1);
        refused_threads.fetch_add(1);
        return EAGAIN;
    }
    auto *start = new (std::nothrow) Start{routine, argument};
    if (!start) {
        started_threads.fetch_sub(1);
        return EAGAIN;
    }
    const int result = realCreate()(thread, attributes, runCounted, start);
    if (result != 0) {
        delete start;
        started_threads.fetch_sub(1);
    }
    return result;
}
