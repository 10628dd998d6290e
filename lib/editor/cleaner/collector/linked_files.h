#pragma once

#include <QString>

#include <vector>

namespace cleaner {

// The symbolic links of the data folder, which the asset scan leaves out: a
// file or folder that is a link is never an asset, and the scan does not
// look below a linked folder. The engine still loads what they lead to, so
// each is found here with where it leads (resolved, also when the data
// folder is itself reached through a link):
//   - inside the data folder: a file, or a folder; below a linked folder
//     that lies in a hidden folder (which no scan lists) every file, of
//     whatever kind, is listed too, as reached through the link;
//   - outside the data folder: never entered, nor listed below;
//   - nowhere (dangling), or a loop of links.
// Names the scan skips (hidden ones, meta files) are skipped alike; every
// folder is entered once.
class LinkedFiles
{
public:
    enum class Kind { Inside, Outside, Nowhere, Loop };

    struct Entry
    {
        QString path; // absolute, as reached in the data folder
        QString relative; // data-relative, as reached
        QString target; // resolved; empty unless Inside or Outside
        QString target_relative; // data-relative path of the target (Inside only; empty for the data folder)
        // The target through the data folder as given, as the asset manager
        // names its files (Inside only): what the target is read and named as.
        QString target_as_reached;
        Kind kind = Kind::Nowhere;
        bool folder = false; // leads to a folder
        bool below_link = false; // a file below a linked folder, not a link itself
    };

    // data_root: the data folder, absolute.
    static LinkedFiles find(const QString &data_root);

    const std::vector<Entry> &entries() const { return entries_; }

    // Whether a data-relative path lies in a hidden folder or has a hidden
    // name (one that starts with ".").
    static bool isHidden(const QString &relative);

private:
    struct Walk;

    std::vector<Entry> entries_;
};

} // namespace cleaner
