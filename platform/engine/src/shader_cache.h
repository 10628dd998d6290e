// The shader cache file of the engine. Internal to the engine.
#pragma once

#include "velmora/String.h"
#include "velmora/UGUID.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>

namespace Velmora {
namespace engine_internal {

// One shader cache file: a line per compiled program, "<material guid>
// <name> <hash of its resolved declarations>", each line once. The file is
// read once, when first asked about; what is compiled afterwards is held and
// goes to the file whole (a temporary file renamed over it). A write reads
// the file again only when it is no longer the one this cache last read or
// wrote (another process wrote it), and keeps the lines that process put
// there. Broken lines are skipped; a file holding a line twice (as earlier
// versions wrote it) is written back with each line once when something is
// added. Not thread-safe: its owner locks.
class ShaderCache
{
public:
    // A save is due once this many lines, and at least an eighth of the
    // held ones, were added since the last attempt: a killed process loses
    // little, and the writes of a long pass cost a few times the file.
    static constexpr size_t MIN_BATCH = 64;

    // The line of a material's compiled program.
    static std::string lineOf(const UGUID &guid, const char *name, uint32_t program_hash);

    // Works on the file at path from now on; lines added for another file
    // are saved to it first.
    void use(const String &path);
    bool holds(const std::string &line);
    // Adds the line unless it is held; true when added.
    bool add(const std::string &line);
    bool isSaveDue() const;
    // Writes the file when lines were added since it was last written;
    // false, with a warning, when it cannot be read or written (the lines
    // stay held and the next save tries again).
    bool save();
    // Saves, then forgets the file (the next use reads it again).
    void close();

private:
    // What tells one version of the file from another: a write by any
    // process renames a new file over it.
    struct Stamp
    {
        bool exists = false;
        unsigned long long device = 0, inode = 0;
        long long size = 0, modified_ns = 0, changed_ns = 0;
        bool operator==(const Stamp &other) const;
    };

    void load();
    // The whole lines of the file in order, each once, and its stamp; false
    // when it exists but cannot be read. A missing file holds nothing.
    bool read(std::deque<std::string> &lines, int &broken, Stamp &stamp) const;
    bool stampNow(Stamp &stamp) const;

    String path_;
    bool loaded_ = false;
    // The file's lines as of stamp_ in its order, then the ones added since
    // (from saved_ on). A deque: held_ points into it.
    std::deque<std::string> lines_;
    size_t saved_ = 0;
    std::unordered_set<std::string_view> held_;
    Stamp stamp_;
    bool stamp_known_ = false; // false: the file is read again before a write
    size_t added_since_attempt_ = 0;
};

} // namespace engine_internal
} // namespace Velmora
