#pragma once

#include <QString>

#include <mutex>
#include <string>
#include <vector>

namespace base {

// What a process of ours leaves behind when it is killed at the wrong
// moment: the temporary file of a checked write (".<name>.<pid>-<n>.tmp",
// beside the file it replaces) and the video grabber's scratch folder
// (".frame_<pid>-<tag>", beside the frames). Both carry the id of the
// process that made them; once that process no longer runs they are left
// over and are removed. Everything else is left alone: other names, what a
// running process made (this one's included; a reused id counts as
// running), links, entries of another user, and a scratch folder that
// holds anything but a frame or a temporary file.
class LeftoverSweeper
{
public:
    // Keeps the marked names of the engine's read of the data folder (made
    // when the engine starts): made before the engine starts.
    LeftoverSweeper();
    ~LeftoverSweeper();
    LeftoverSweeper(const LeftoverSweeper &) = delete;
    LeftoverSweeper &operator=(const LeftoverSweeper &) = delete;

    // Removes what is left over among the names the read listed and in the
    // data folder's tool folders ".tamsel2" and ".thumbnails", which the
    // read does not list. Costs nothing when nothing was listed. Returns how
    // many entries were removed.
    int sweep();

    // A new scratch folder's name for this process.
    static QString scratchName();
    // The process id that a name carries as a checked write's temporary
    // file or as a scratch folder; 0 when it carries none so.
    static qint64 temporaryProcess(const QString &name);
    static qint64 scratchProcess(const QString &name);
    static bool processRuns(qint64 pid);
    // Removes path (a temporary file or a scratch folder with what it
    // holds) when it is left over; true when it was.
    static bool removeIfLeftOver(const QString &path);
    // removeIfLeftOver for each hidden entry of folder; returns how many
    // were removed.
    static int sweepFolder(const QString &folder);

private:
    int listener_ = -1;
    std::mutex mutex_;
    std::string data_path_;
    std::vector<std::string> marked_;
};

} // namespace base
