#include "velmora/MemoryReserve.h"

#ifndef VELMORA_SUPPLY_WITHOUT_LOG
#include "velmora/Log.h"
#endif

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <sys/mman.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>

namespace Velmora {

namespace {

// Enough for the ordinary quit to do its work. Mapped apart from the heap,
// so that giving it back gives the system its address space at once.
constexpr size_t RESERVE_BYTES = size_t(16) << 20;

std::atomic<void *> reserve{nullptr};
std::atomic<bool> ran_out{false};
// A check of the reserve is queued to the application's thread.
std::atomic<bool> check_queued{false};
// The quit guard was asked since the reserve was last taken back.
std::atomic<bool> asked{false};
std::terminate_handler terminate_before = nullptr;
// What the user is told, made while memory could still be had.
char told_text[512];
// The application's thread only.
MemoryReserve::QuitGuard quit_guard;
bool asking = false;

// This thread's allocation was tried again once since its last failure.
thread_local bool tried_again = false;
// The handler runs on this thread (what it allocates itself must not call it).
thread_local bool in_handler = false;

void *mapReserve()
{
    void *block = ::mmap(nullptr, RESERVE_BYTES, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

// Takes the reserve back unless it is held; false when it cannot be had.
bool holdReserve()
{
    if (reserve.load())
        return true;
    void *block = mapReserve();
    if (!block)
        return false;
    void *none = nullptr;
    if (!reserve.compare_exchange_strong(none, block))
        ::munmap(block, RESERVE_BYTES);
    asked = false;
    return true;
}

// Once memory has run out, while the program can still quit the ordinary
// way: in the engine's log (and so on the standard error too) where the
// program has it; a program without the engine (the launcher) has only the
// standard error.
void tellRanOut()
{
#ifdef VELMORA_SUPPLY_WITHOUT_LOG
    std::fprintf(stderr, "%s\n", told_text);
    std::fflush(stderr);
#else
    Log::error("%s\n", told_text);
#endif
}

// Without allocating: there may be nothing to allocate with.
void tellAndEnd()
{
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        std::fputs(told_text, stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    std::_Exit(MemoryReserve::EXIT_OUT_OF_MEMORY);
}

// On the application's thread: memory has truly run out when the reserve
// cannot be taken back. The quit guard is asked once; should the program
// stay, the reserve is looked for again now and then, so that it is held
// again once memory has come back.
void checkReserve()
{
    check_queued = false;
    if (asking || holdReserve())
        return;
    ran_out = true;
    if (!asked.exchange(true)) {
        tellRanOut();
        asking = true;
        // The guard may be replaced while it asks: the one asked is kept alive.
        const MemoryReserve::QuitGuard guard = quit_guard;
        const bool quit = !guard || guard();
        asking = false;
        if (quit) {
            QCoreApplication::exit(MemoryReserve::EXIT_OUT_OF_MEMORY);
            return;
        }
    }
    constexpr int LOOK_AGAIN_MS = 500;
    try {
        if (!check_queued.exchange(true))
            QTimer::singleShot(LOOK_AGAIN_MS, QCoreApplication::instance(), &checkReserve);
    } catch (const std::bad_alloc &) {
        check_queued = false;
    }
}

void queueCheck()
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || check_queued.exchange(true))
        return;
    try {
        QMetaObject::invokeMethod(application, &checkReserve, Qt::QueuedConnection);
    } catch (const std::bad_alloc &) {
        check_queued = false;
    }
}

void onAllocationFailed()
{
    if (in_handler)
        throw std::bad_alloc();
    struct InHandler
    {
        InHandler() { in_handler = true; }
        ~InHandler() { in_handler = false; }
    } in;
    if (void *held = reserve.exchange(nullptr)) {
        ::munmap(held, RESERVE_BYTES);
        tried_again = true;
        // Whether it was enough is seen when the check finds the reserve
        // cannot be had again.
        queueCheck();
        return;
    }
    // Another thread gave the reserve back: that may be enough.
    if (!tried_again) {
        tried_again = true;
        return;
    }
    tried_again = false;
    // Larger than what is free: the caller's to handle.
    if (holdReserve())
        throw std::bad_alloc();
    ran_out = true;
    queueCheck();
    throw std::bad_alloc();
}

void onTerminate()
{
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc &) {
            ran_out = true;
            tellAndEnd();
        } catch (...) {}
    }
    if (terminate_before)
        terminate_before();
    std::abort();
}

} // namespace

void MemoryReserve::install(const QString &told)
{
    static std::once_flag installed;
    std::call_once(installed, [&told] {
        std::snprintf(told_text, sizeof(told_text), "%s", told.toLocal8Bit().constData());
        reserve = mapReserve();
        std::set_new_handler(onAllocationFailed);
        terminate_before = std::set_terminate(onTerminate);
    });
}

void MemoryReserve::setQuitGuard(QuitGuard guard)
{
    quit_guard = std::move(guard);
}

bool MemoryReserve::hasRoom(int megabytes)
{
    const size_t size = size_t(megabytes) << 20;
    void *room = ::mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (room == MAP_FAILED)
        return false;
    ::munmap(room, size);
    return true;
}

QString MemoryReserve::limitText()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return QString();
    return QStringLiteral("Its address space is limited to %1 MB (ulimit -v): raise the limit and start it again.")
            .arg(qulonglong(limit.rlim_cur >> 20));
}

bool MemoryReserve::ranOut()
{
    return ran_out.load();
}

} // namespace Velmora
