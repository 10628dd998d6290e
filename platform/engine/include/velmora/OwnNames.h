#pragma once

#include <string>
#include <string_view>

namespace Velmora {

// The names of the files and folders the program keeps for a while beside
// the user's files, each carrying the program's mark, what it is and the id
// of the process that made it, so that no name a user gives carries it by
// chance and what a killed process left can be told from what a running one
// is using:
//   ".<name>.velmora-tmp-<pid>-<n>"   a checked write's temporary file
//   ".<name>.velmora-keep-<pid>-<n>"  the earlier contents of <name>, kept
//                                      while a run writes over it
//   ".<name>.velmora-run-<pid>-<n>"   the journal of such a run
//   ".velmora-frame-<pid>-<tag>"      a scratch folder of the video grabber
namespace OwnNames {

enum Kind {
    NONE,
    TEMPORARY,
    KEPT,
    JOURNAL,
    SCRATCH,
};

// A new name of that kind for file_name (a name, no folder) in this
// process: a new counter value each call (a new random tag for SCRATCH,
// which ignores file_name).
std::string make(Kind kind, std::string_view file_name);

// The kind a name (no folder) is of, and the process id it carries in
// *pid; NONE (and *pid untouched) for every other name.
Kind parse(std::string_view name, long long *pid = nullptr);

// The name (no folder) whose file a TEMPORARY, KEPT or JOURNAL name belongs
// to; "" for any other name.
std::string ownerName(std::string_view name);

} // namespace OwnNames

} // namespace Velmora
