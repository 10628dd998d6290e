#pragma once

#include <QString>

namespace Impostors {

// Keeps the contents a file had before it is written over, under a hidden
// name in the same folder (Velmora::OwnNames KEPT: never an asset, and
// marked with the process that owns it), and swaps the two later. Every
// step leaves each name holding a whole file: the kept copy is a hard link
// or, where the file system has none, a copy written whole; putting it back
// is a rename within the folder.
class FileKeeper
{
public:
    // Keeps the current contents of path. *kept is the hidden file, or ""
    // when there is nothing to keep (no plain file by that name: a write
    // refuses those itself). False, with the reason in *error and nothing
    // left behind, when the contents could not be kept (a full disk).
    static bool keep(const QString &path, QString *kept, QString *error);

    // Puts the contents kept in kept back under path, by a rename within the
    // folder (whole, and no room needed); kept is gone then. False, with the
    // reason in *error and both names as they were, when it cannot.
    static bool putBack(const QString &path, const QString &kept, QString *error);

    // Removes a kept file (only one of ours: a KEPT name).
    static void discard(const QString &kept);
};

} // namespace Impostors
