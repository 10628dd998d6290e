#pragma once

#include <QString>
#include <QStringList>

#include <mutex>
#include <string>
#include <vector>

namespace base {

// What a process of ours leaves behind when it is killed at the wrong
// moment, under the program's own names (Velmora::OwnNames): the temporary
// file of a checked write, the video grabber's scratch folder, and the kept
// earlier contents of files a run wrote over, with the run's journal. Each
// carries the id of the process that made it; once that process no longer
// runs they are left over. Temporary files go; a scratch folder goes when it
// holds exactly what the grabber puts there (at most one frame and its
// temporary file); kept files go back over their files when their run did
// not finish, and go when it did (KeptFilesJournal). Everything else is left
// alone: other names (older forms of ours included), what a running process
// made (this one's included; a reused id counts as running; so does a
// process that still holds its claim on the folder, in a container or on
// another machine), links, and entries of another user.
class LeftoverSweeper
{
public:
    // Keeps the marked names of the engine's read of the data folder (made
    // when the engine starts): made before the engine starts.
    LeftoverSweeper();
    ~LeftoverSweeper();
    LeftoverSweeper(const LeftoverSweeper &) = delete;
    LeftoverSweeper &operator=(const LeftoverSweeper &) = delete;

    // Deals with what is left over among the names the read listed and in
    // the data folder's tool folders ".tamsel2" and ".thumbnails", which the
    // read does not list. Costs nothing when nothing was listed. Returns how
    // many entries were removed; the files that got their kept contents
    // back are told once in the log and are in *put_back.
    int sweep(QStringList *put_back = nullptr);

    // Whether name (no folder) is a scratch folder's name.
    static bool isScratchName(const QString &name);
    // Whether the process pid that made the entry at path may still run,
    // here or wherever else the folder is shared (Velmora::OwnNames).
    static bool ownerRuns(const QString &path, qint64 pid);
    // Removes path (a temporary file, or a scratch folder with what it
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
