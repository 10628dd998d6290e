#pragma once

#include <QString>

namespace Editor {

// What the editor needs of the system's threads, made sure of once the
// application object is made (the window system's own threads run then)
// and before anything else starts one. Below a process limit (or in an
// address space too small for more stacks) the editor does what it can on
// the threads there are; only Qt's global pool, the job queue and, on a
// desktop, Qt's D-Bus connections cannot do without a thread each. All get
// theirs here, for the whole run: Qt's pool a share of those the system
// gives (see Velmora::GlobalPoolThreads), the job queue its worker
// (tbb::Queue::startWorkerAhead), and Qt's D-Bus thread, which the window
// system's accessibility waits for from the event loop's first pass, is
// started at once; so no thread started later (the renderer's pool and the
// start-up readers take what they can get) leaves any of them without one.
// The rest is left for the editor's own work.
class ThreadSupply
{
public:
    // Exit code of a run that stopped because the system gives too few
    // threads.
    static constexpr int EXIT_TOO_FEW_THREADS = 2;
    // Threads the editor needs besides the one it starts on and those of
    // the window system.
    static constexpr int NEEDED = 2;
    // The most threads Qt's global pool is given.
    static constexpr int MOST_POOL_THREADS = 4;

    // Once per process (later calls give the first answer), right after
    // the application object is made: counts the threads to be had, gives
    // Qt's global pool its share, starts the job queue's worker and, when
    // the window system talks to the session bus, Qt's D-Bus thread. False,
    // after telling why on the standard error, when the editor cannot run on
    // what there is: the application must then end without entering its
    // event loop, which would wait for the D-Bus thread. Should Qt's pool
    // have been left waiting for a thread the system refused, the process
    // ends here with EXIT_TOO_FEW_THREADS, as that pool could not be shut
    // down.
    static bool secure();

    // What the user is told when the system gives only available threads
    // and the editor needs needed.
    static QString shortage(int available, int needed = NEEDED);
};

} // namespace Editor
