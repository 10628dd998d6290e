#include "editor/application/thread_supply.h"

#include "core/base/global_pool_threads.h"
#include "core/base/worker_count.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace Editor {

namespace {

void tell(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

int ThreadSupply::poolShare(int available)
{
    if (available < NEEDED)
        return 0;
    // Half of what is left once the job queue has its thread, at least one
    // and at most MOST_POOL_THREADS: each is kept for the whole run, with its
    // stack (and the heap arena of its own that it makes), and Qt shares out
    // no more than an image's rows to them.
    return std::max(1, std::min({base::WorkerCount::ofMachine(), MOST_POOL_THREADS, (available - 1) / 2}));
}

QString ThreadSupply::shortage(int available)
{
    return QStringLiteral("Editor: the system gives this process %1 more thread(s); the editor needs at least %2. "
                          "Raise the limit on processes (ulimit -u) or on the address space (ulimit -v) and start "
                          "it again.")
            .arg(available)
            .arg(NEEDED);
}

bool ThreadSupply::secure()
{
    static const bool secured = [] {
        // Enough to tell the pool's full share from less.
        const int available = base::GlobalPoolThreads::available(2 * MOST_POOL_THREADS + NEEDED);
        const int share = poolShare(available);
        if (share == 0) {
            tell(shortage(available));
            return false;
        }
        const int kept = base::GlobalPoolThreads::keep(share);
        if (kept < 0) {
            tell(shortage(0));
            std::_Exit(EXIT_TOO_FEW_THREADS);
        }
        return true;
    }();
    return secured;
}

} // namespace Editor
