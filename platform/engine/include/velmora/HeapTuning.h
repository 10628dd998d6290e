#pragma once

namespace Velmora {

// Process-wide settings of the C library's allocator, made once by the
// program's main before any worker thread runs.
class HeapTuning
{
public:
    // Work that runs on many short-lived threads (the dependency analysis,
    // the start-up read) frees what it made into a malloc arena per thread.
    // glibc keeps the free memory at the top of such an arena below the
    // trim threshold, which it raises by itself (up to 64 MB) whenever a
    // large block is freed, and malloc_trim does not give it back: each
    // query would leave the process larger, and a query's peak would carry
    // what the arenas of the one before kept. A fixed threshold returns that
    // memory as it is freed; the arenas still keep up to 256 KB each.
    // Does nothing where the allocator is not glibc's or a sanitizer's
    // allocator serves the blocks.
    static void boundArenaTops();
    // In an address space the system limits (RLIMIT_AS), the heap keeps to a
    // few arenas: each further one reserves 64 MB of it, and a handful of
    // threads would take what the editor's own work then cannot have. Does
    // nothing without such a limit.
    static void fitAddressSpace();
};

} // namespace Velmora
