#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Velmora {

// Holds back the messages, warnings and errors that the calling thread logs
// while the hold lives (fatals are never held), so that work done on several
// threads can write its log lines in a fixed order afterwards: release()
// writes them as Log would have, in the order they were logged. Holds nest:
// a hold made inside another collects the lines until it ends, then the
// outer one collects again. A hold that is never released drops its lines.
class LogHold
{
public:
    using Lines = std::vector<std::pair<int, std::string>>; // kind (0, 1, 2), text

    explicit LogHold(Lines *lines);
    ~LogHold();
    LogHold(const LogHold &) = delete;
    LogHold &operator=(const LogHold &) = delete;

    // Writes lines (to stderr, the log file and the console callbacks) and
    // empties them. Any thread; a hold of the calling thread collects them.
    static void release(Lines &lines);

private:
    Lines *previous_;
};

} // namespace Velmora
