#pragma once

namespace base {

// How many threads a piece of work that can be shared out is given: the
// machine's hardware threads, at least one and at most eight (beyond that the
// editor's work is bound by memory, not by cores), and two when the machine
// does not say.
class WorkerCount
{
public:
    static constexpr int MAX = 8;
    static constexpr int WHEN_UNKNOWN = 2;

    static int ofMachine();
};

} // namespace base
