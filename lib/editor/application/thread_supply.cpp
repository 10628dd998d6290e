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
        int available = 0;
        const int kept = Velmora::GlobalPoolThreads::secure(NEEDED, MOST_POOL_THREADS, &available);
        if (kept == 0) {
            tell(shortage(available));
            return false;
        }
        if (kept < 0) {
            tell(shortage(0));
            std::_Exit(EXIT_TOO_FEW_THREADS);
        }
        // Counted among those available, but another process of the user
        // may have taken it since.
        if (!tbb::Queue::startWorkerAhead()) {
            tell(shortage(kept));
            return false;
        }
        return true;
    }();
    return secured;
}

} // namespace Editor
