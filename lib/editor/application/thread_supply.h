#pragma once

#include <QString>

namespace Editor {

// What the editor needs of the system's threads, made sure of before
// anything else starts one. Below a process limit (or in an address space
// too small for more stacks) the editor does what it can on the threads
// there are; only Qt's global pool and the job queue cannot do without a
// thread each. Both get theirs here, for the whole run: Qt's pool a share of
// those the system gives (see Velmora::GlobalPoolThreads), the job queue its
// worker (tbb::Queue::startWorkerAhead), so that no thread started later
// (the renderer's pool takes what it can get) leaves the jobs without one.
// The rest is left for the editor's own work.
class ThreadSupply
{
public:
    // Exit code of a run that stopped because the system gives too few
    // threads.
    static constexpr int EXIT_TOO_FEW_THREADS = 2;
    // Threads the editor needs besides the one it starts on.
    static constexpr int NEEDED = 2;
    // The most threads Qt's global pool is given.
    static constexpr int MOST_POOL_THREADS = 4;

    // Once per process (later calls give the first answer): counts the
    // threads to be had, gives Qt's global pool its share and starts the job
    // queue's worker. False, after
    // telling why on the standard error, when the editor cannot run on what
    // there is; should Qt's pool have been left waiting for a thread the
    // system refused, the process ends here with EXIT_TOO_FEW_THREADS, as
    // that pool could not be shut down.
    static bool secure();

    // What the user is told when the system gives only available threads.
    static QString shortage(int available);
};

} // namespace Editor
