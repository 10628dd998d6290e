#pragma once

#include <functional>
#include <string>

namespace Velmora {

// Lets code that changes several files record what it is about to put under
// a name before it is there: while a watch lives, each checked write of the
// engine on the watch's thread (a material, an image, an XML document)
// calls it with the name it is about to write over (a link's target for a
// link) and the whole of the new contents, after they are safely aside and
// just before they take the name. A watch that returns false stops that
// write: it fails with the watch's reason, and the file keeps what it had.
// The watch made last on a thread is the one called.
class WriteWatch
{
public:
    using Callback = std::function<bool(const std::string &path, const char *data, size_t size, std::string *reason)>;

    explicit WriteWatch(Callback callback);
    ~WriteWatch();
    WriteWatch(const WriteWatch &) = delete;
    WriteWatch &operator=(const WriteWatch &) = delete;

    // Asks the watch of this thread, if any, whether data may now be put
    // under path; true when there is none.
    static bool approve(const char *path, const char *data, size_t size, std::string *reason);

private:
    Callback callback_;
};

} // namespace Velmora
