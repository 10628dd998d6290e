#pragma once

#include <QString>

namespace Editor {

// What the editor does when the system gives it no more memory (a process
// limited in its address space, `ulimit -v`): it never aborts, and an
// allocation that fails where code handles the failure (a large image) stays
// handled (see Velmora::MemoryReserve). Once memory has truly run out the
// editor tells the user and quits the ordinary way, through the main
// window's quit guard, which offers to save the unsaved world; its shutdown
// saves what it saves on every quit, and it ends with EXIT_OUT_OF_MEMORY.
// Only a failed allocation that nobody catches ends it at once, after the
// message, with the same code.
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
    // What the user is told.
    static QString message();
    // On the GUI thread once memory has run out: tells the user and asks the
    // main window whether the editor may quit (true without a shown main
    // window).
    static bool mayQuit();
};

} // namespace Editor
