#pragma once

#include <QString>

namespace Editor {

// What the editor does when the system gives it no more memory (a process
// limited in its address space, `ulimit -v`): it never aborts. A block held
// from the start is given back at the first allocation that fails, so that
// the allocation goes through, and the editor tells the user and quits the
// ordinary way (its shutdown saves what it saves on every quit) with
// EXIT_OUT_OF_MEMORY. Should memory run out again before it is done, or
// should a failed allocation end the process anyway (an exception nobody
// catches), it tells the user and ends at once with the same code.
class MemoryShortage
{
public:
    static constexpr int EXIT_OUT_OF_MEMORY = 3;

    // The address space the editor needs free when it starts, beyond what
    // its program and libraries take: less cannot hold its windows, the
    // engine and a world.
    static constexpr int START_MEGABYTES = 192;

    // Once per process, before anything sizeable is allocated.
    static void install();
    // Whether START_MEGABYTES of address space can be had now. Tells the user
    // (on the standard error) when they cannot.
    static bool enoughToStart();
    // True once an allocation has failed.
    static bool happened();
    // What the user is told.
    static QString message();
};

} // namespace Editor
