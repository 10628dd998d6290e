#pragma once

namespace Velmora {

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

    // How many threads the pool keeps when the system gives `available`
    // more and the program cannot do without `needed` of them (the pool's
    // own included): none when available is less; else half of what is left
    // once the others have theirs, at least one and at most `most` and the
    // machine's cores. Each is kept for the whole run, with its stack (and
    // the heap arena of its own that it makes), and Qt shares out no more
    // than an image's rows to them.
    static int share(int available, int needed, int most);

    // Once per process, before anything else starts a thread, so that what
    // is counted is what the system gives: counts the threads to be had (up
    // to enough to tell the pool's full share from less) and gives the pool
    // its share. Returns how many it keeps; 0 when fewer than `needed` can be
    // had (*available then says how many); -1 when the pool was left waiting
    // for a thread the system refused: the process cannot shut the pool down
    // and has to end at once.
    static int secure(int needed, int most, int *available);

    // Whether the application's window system talks to the desktop's session
    // bus (its accessibility does, on Qt's D-Bus thread, which it waits for
    // from the event loop's first pass): on every platform but Qt's
    // windowless ones, and never before the application object is made.
    static bool usesSessionBus();
    // Starts Qt's D-Bus thread now (its first connection to a bus, which the
    // accessibility makes when first asked whether it is on), while the
    // system gives a thread for it. False when it gives none: the connection
    // would wait for that thread for ever.
    static bool startSessionBusThread();
};

} // namespace Velmora
