#pragma once

#include <QString>

// The hidden folder, beside the frames, in which a frame is written whole
// before it takes its name. Its name is the program's own, with this
// process's id (Velmora::OwnNames SCRATCH), so that what a killed grab leaves
// is known for left over later; it never holds more than one frame. It is made by one mkdir and needs no mode
// change (a file system that stores no modes is fine), and it goes with
// whatever is still in it when this goes.
class FrameScratchFolder
{
public:
    explicit FrameScratchFolder(const QString &folder);
    ~FrameScratchFolder();
    FrameScratchFolder(const FrameScratchFolder &) = delete;
    FrameScratchFolder &operator=(const FrameScratchFolder &) = delete;

    bool isValid() const { return !path_.isEmpty(); }
    QString filePath(const QString &name) const { return path_ + QLatin1Char('/') + name; }

    // Gives the file name of this folder the name target (in the same file
    // system), never replacing nor writing through anything of that name: a
    // file, a folder, a link, a dangling link. Takes the name by a rename
    // that refuses to replace, else by a hard link, else by creating the
    // name exclusively and renaming over that empty file of its own. false
    // with errno EEXIST when the name is taken, with another errno when the
    // file cannot be moved.
    bool moveOut(const QString &name, const QString &target);

private:
    QString path_;
};
