#include "velmora/WriteWatch.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace Velmora {

namespace {

thread_local std::vector<WriteWatch *> t_watches;

} // namespace

WriteWatch::WriteWatch(Callback callback)
    : callback_(std::move(callback))
{
    t_watches.push_back(this);
}

WriteWatch::~WriteWatch()
{
    t_watches.erase(std::remove(t_watches.begin(), t_watches.end(), this), t_watches.end());
}

bool WriteWatch::approve(const char *path, const char *data, size_t size, std::string *reason)
{
    if (t_watches.empty() || !t_watches.back()->callback_)
        return true;
    std::string why;
    if (t_watches.back()->callback_(path, data, size, &why))
        return true;
    if (reason)
        *reason = why.empty() ? std::string("the change it belongs to could not be recorded") : why;
    return false;
}

} // namespace Velmora
