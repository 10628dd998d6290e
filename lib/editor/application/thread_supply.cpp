#include "editor/application/thread_supply.h"

#include <editor_core/tbb/Queue.h>

#include <velmora/GlobalPoolThreads.h>

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

QString ThreadSupply::shortage(int available, int needed)
{
    return QStringLiteral("Editor: the system gives this process %1 more thread(s); the editor needs at least %2. "
                          "Raise the limit on processes (ulimit -u) or on the address space (ulimit -v) and start "
                          "it again.")
            .arg(available)
            .arg(needed);
}

bool ThreadSupply::secure()
{
    static const bool secured = [] {
        const bool bus = Velmora::GlobalPoolThreads::usesSessionBus();
        const int needed = NEEDED + (bus ? 1 : 0);
        int available = 0;
        const int kept = Velmora::GlobalPoolThreads::secure(needed, MOST_POOL_THREADS, &available);
        if (kept == 0) {
            tell(shortage(available, needed));
            return false;
        }
        if (kept < 0) {
            tell(shortage(0, needed));
            std::_Exit(EXIT_TOO_FEW_THREADS);
        }
        // Counted among those available, but another process of the user
        // may have taken them since.
        if (!tbb::Queue::startWorkerAhead()) {
            tell(shortage(kept, needed));
            return false;
        }
        if (bus && !Velmora::GlobalPoolThreads::startSessionBusThread()) {
            tell(shortage(kept + 1, needed));
            return false;
        }
        return true;
    }();
    return secured;
}

} // namespace Editor
