#include "editor/application/memory_shortage.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <sys/mman.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>

namespace Editor {

namespace {

// Enough for the shutdown to do its work, given back when memory runs out.
constexpr size_t RESERVE_BYTES = size_t(16) << 20;

std::atomic<char *> reserve{nullptr};
std::atomic<bool> ran_out{false};
std::terminate_handler terminate_before = nullptr;
// The message, made while memory could still be had.
char told_text[512];

// Without allocating: there may be nothing to allocate with.
void tellAndEnd()
{
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        std::fputs(told_text, stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    std::_Exit(MemoryShortage::EXIT_OUT_OF_MEMORY);
}

void quitForShortage()
{
    std::fputs(told_text, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    // Into the log too, through the editor's message handler.
    qCritical("%s", told_text);
    QCoreApplication::exit(MemoryShortage::EXIT_OUT_OF_MEMORY);
}

void onAllocationFailed()
{
    ran_out = true;
    char *held = reserve.exchange(nullptr);
    if (!held) {
        // Nothing left to give back: the failure cannot be survived.
        tellAndEnd();
    }
    delete[] held;
    // The allocation is tried again with the reserve free; the application
    // quits from its event loop.
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, &quitForShortage, Qt::QueuedConnection);
    else
        tellAndEnd();
}

// The limit the user can raise, when there is one.
QString limitText()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return QString();
    return QStringLiteral("Its address space is limited to %1 MB (ulimit -v): raise the limit and start it again.")
            .arg(qulonglong(limit.rlim_cur >> 20));
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

void MemoryShortage::install()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        std::snprintf(told_text, sizeof(told_text), "%s", message().toLocal8Bit().constData());
        reserve = new (std::nothrow) char[RESERVE_BYTES];
        std::set_new_handler(onAllocationFailed);
        terminate_before = std::set_terminate(onTerminate);
    });
}

bool MemoryShortage::enoughToStart()
{
    const size_t size = size_t(START_MEGABYTES) << 20;
    // Only reserved, never touched: it costs nothing but the address space.
    void *room = ::mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (room != MAP_FAILED) {
        ::munmap(room, size);
        return true;
    }
    const QByteArray text = QStringLiteral("Editor: the system gives the editor too little memory to start: it needs "
                                           "%1 MB more address space than it has. ")
                                    .arg(START_MEGABYTES)
                                    .toLocal8Bit()
            + limitText().toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
    std::fflush(stderr);
    return false;
}

bool MemoryShortage::happened()
{
    return ran_out.load();
}

QString MemoryShortage::message()
{
    return QStringLiteral("Editor: the system gives the editor no more memory; it stops. ") + limitText();
}

} // namespace Editor
