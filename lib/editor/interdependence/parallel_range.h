#pragma once

#include <functional>

namespace inas {

// Runs a piece of work over the positions [0, count) in contiguous chunks on
// a few threads (the calling thread among them) and returns when every chunk
// is done. The log lines of each chunk are held while it runs and written
// afterwards in the chunks' order, so that the log reads as if one thread had
// gone through the positions in order. The work of two chunks must touch
// distinct data (or only read shared data).
class ParallelRange
{
public:
    using Work = std::function<void(int begin, int end)>;

    // min_chunk: the fewest positions worth a thread of their own.
    static void run(int count, int min_chunk, const Work &work);
    // The threads a run uses at most: the machine's cores, at most eight.
    static int maxThreads();
};

} // namespace inas
