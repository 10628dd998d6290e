#pragma once

namespace base {

// Qt's global thread pool (QThreadPool::globalInstance, which Qt's own image
// conversions share out their rows to) does not survive a thread the system
// refuses: the work handed to that thread never runs, and whatever waits for
// it waits for ever, down to the pool's last wait as the application ends.
// So the pool is given its threads once, at start-up, where a refusal can be
// seen before anything waits on it; they are kept for the whole run, and the
// pool is allowed no others, so it never asks the system for a thread again.
class GlobalPoolThreads
{
public:
    // How many more threads the system gives this process at the moment,
    // counted up to most: as many as can run at once. They have ended (and
    // are no longer counted by the system) when this returns.
    static int available(int most);

    // Starts up to count threads in Qt's global pool and keeps them there
    // for the rest of the run; the pool then starts no other thread. Returns
    // how many it keeps, stopping at the first the system refuses; -1 when
    // the pool asked for one that the system refused (it then waits for that
    // thread for ever: the process cannot shut the pool down and has to end
    // without it). To be called before anything else uses the pool.
    static int keep(int count);
};

} // namespace base
