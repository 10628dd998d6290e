#pragma once

#include <QString>

#include <functional>

namespace Velmora {

// What a program (the editor, the player, the launcher) does when the system
// gives it no more memory (an address space the system limits, `ulimit -v`):
// it never aborts, and a failure that code catches stays caught.
//
// A block is held from the start. When an allocation fails, the block is
// given back and the allocation tried again. Should that fail too, the
// request was larger than what is free: the block is taken back and the
// allocation throws std::bad_alloc to its caller, with nothing else done
// (a large image that does not fit). Memory has truly run out when the block
// cannot be taken back (an allocation went through only thanks to it): the
// application's thread is then asked, queued, to quit the ordinary way,
// through the quit guard, with the message told on the standard error and
// in the log; the event loop ends with EXIT_OUT_OF_MEMORY. Only a failed
// allocation that nobody catches ends the process at once, after the
// message, with the same code. Allocations may fail on any thread at once.
class MemoryReserve
{
public:
    static constexpr int EXIT_OUT_OF_MEMORY = 3;

    // Asked on the application's thread once memory has truly run out: true
    // to quit, false to stay (it is asked again once memory has come back and
    // run out anew).
    using QuitGuard = std::function<bool()>;

    // Once per process, before anything sizeable is allocated (later calls
    // change nothing). told: what the user is told when memory runs out.
    static void install(const QString &told);
    // On the application's thread; without a guard the program quits.
    static void setQuitGuard(QuitGuard guard);
    // Whether megabytes of address space can be had now (only reserved, never
    // touched: it costs nothing but the address space).
    static bool hasRoom(int megabytes);
    // The limit the user can raise, when there is one: "Its address space is
    // limited to N MB (ulimit -v): raise the limit and start it again."
    static QString limitText();
    // True once memory has truly run out.
    static bool ranOut();
};

} // namespace Velmora
