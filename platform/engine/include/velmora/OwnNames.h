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
// A <name> too long for the whole to fit in a file name (255 bytes) is
// borrowed as its start and a checksum of all of it ("<start>~<8 hex>").
//
// A process id alone does not tell whether its process still runs: it may
// run in another pid namespace (a container) or on another machine that
// shares the folder. So a process claims the folders it makes names in
// (the data folder) for as long as it lives: a lock, at its id, on the
// hidden file ".velmora-owners" there, which every process that shares the
// file sees and the system drops when the process ends. A scratch folder
// holds its own claim while it is used.
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
// to; "" for any other name, and for one that may carry only the start of
// a longer name (belongsTo tells then).
std::string ownerName(std::string_view name);

// Whether the TEMPORARY, KEPT or JOURNAL name was made for file_name.
bool belongsTo(std::string_view name, std::string_view file_name);

// The file that holds the claims on a folder.
constexpr const char CLAIM_FILE[] = ".velmora-owners";

// Claims folder (a path without the last '/') for this process until it
// ends or releases it. False when the claim cannot be held: a read-only
// folder, a file system without locks.
bool claim(const std::string &folder);
void release(const std::string &folder);

// Whether the process pid that made the name at path (absolute) may still
// run: its id is in use on this machine (by this process too), or path (a
// folder) or a folder above it holds its claim, or a claim there cannot be
// read or lies on a file system whose locks other machines may not see
// (FUSE, a network share mounted to keep its locks). False only when
// neither is so: its owner no longer runs anywhere that shares the folder.
bool ownerMayRun(const std::string &path, long long pid);

} // namespace OwnNames

} // namespace Velmora
