#include "velmora/LogHold.h"

#include "log_internal.h"

namespace Velmora {

namespace {
thread_local LogHold::Lines *t_held = nullptr;
} // namespace

namespace detail {

bool holdLogLine(int kind, const std::string &text)
{
    if (!t_held)
        return false;
    t_held->emplace_back(kind, text);
    return true;
}

} // namespace detail

LogHold::LogHold(Lines *lines)
    : previous_(t_held)
{
    t_held = lines;
}

LogHold::~LogHold()
{
    t_held = previous_;
}

void LogHold::release(Lines &lines)
{
    for (const auto &line : lines) {
        if (detail::holdLogLine(line.first, line.second))
            continue;
        detail::logWrite(line.first, line.second.c_str());
        detail::consoleDispatch(line.second.c_str(), line.first);
    }
    lines.clear();
}

} // namespace Velmora
