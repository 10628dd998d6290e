#pragma once

#include <velmora/UGUID.h>

#include <QSet>
#include <QString>

#include <string>
#include <unordered_set>
#include <vector>

namespace cleaner {

// What a collection read, each file or folder with how it looked just
// before: size, modification and change times and identity, or that it was
// missing. Asked again later (before anything is deleted) it tells whether
// any of it changed since, without reading a file again: a world saved, a
// script edited, a source file added, the ignore list replaced. The change
// time is what gives away an edit in place whose size and modification time
// were put back (cp -p, rsync --inplace -t, touch -r): no one can set it.
// A file that appeared since (a copy, a pull from version control) was never
// read: the folders' listings tell it.
class ReadStamps
{
public:
    struct Stamp
    {
        qint64 size = -1; // -1: missing
        qint64 modified = 0; // nanoseconds
        qint64 changed = 0; // nanoseconds: the inode's change time
        quint64 node = 0; // identity on its device

        bool operator==(const Stamp &other) const
        {
            return size == other.size && modified == other.modified && changed == other.changed && node == other.node;
        }
        bool operator!=(const Stamp &other) const { return !(*this == other); }
    };

    static Stamp stampOf(const QString &path);

    void reserve(int count) { entries_.reserve(size_t(count)); }
    int size() const { return int(entries_.size()); }

    // Notes path as it is now. owner: the asset whose own file it is (empty
    // for the files and folders of no asset).
    void add(const QString &path, const Velmora::UGUID &owner = Velmora::UGUID());
    // Notes path as it is now again, for a change that its reader has taken
    // in; adds it when it was not noted.
    void restamp(const QString &path);

    // Notes every folder below root (the data folder, absolute) with the
    // names in it of the files whose extension is in extensions (lower case,
    // no dot: the kinds of files that can use assets) and of its
    // sub-folders, so that such a file added or removed since is told
    // without reading any file again: only a folder whose own stamp moved is
    // listed again. Names the asset scan passes over (hidden ones, meta
    // files) are passed over too. asset_files: the absolute paths of asset
    // files, whose removal their own stamps tell. Every symbolic link is
    // noted too, whatever its name, with where it leads: one added, removed
    // or pointed elsewhere since is told.
    void addFolders(const QString &root, const QSet<QString> &extensions, const QSet<QString> &asset_files);
    // Notes, as addFolders does, a folder that a link inside the data folder
    // leads to and that the walk from the data folder does not reach (one
    // in a hidden folder). folder: as reached through the link.
    void addLinkedFolder(const QString &folder);

    // A file or folder that is no longer as it was noted, or a file of the
    // kinds addFolders watches that was added or removed since; empty when
    // there is none. The files of assets in gone (removed since) are not
    // looked at. A large list is looked at on several threads.
    QString firstChange(const QSet<Velmora::UGUID> &gone = QSet<Velmora::UGUID>()) const;

private:
    // A symbolic link in a listed folder and what it holds (readlink).
    struct Link
    {
        QString name;
        QByteArray target;

        bool operator<(const Link &other) const { return name < other.name; }
        bool operator==(const Link &other) const { return name == other.name && target == other.target; }
    };

    // One folder as addFolders noted it.
    struct Listing
    {
        QString folder; // absolute, ending with "/"
        Stamp stamp;
        std::vector<QString> files; // watched files that are no links, sorted
        std::vector<bool> asset_file; // per file: an asset's own file
        std::vector<Link> links; // sorted
        std::vector<QString> folders; // sorted
    };

    // The watched files, the links and the sub-folders of a folder, each
    // sorted; false when it cannot be listed.
    bool list(const QString &folder, std::vector<QString> &files, std::vector<Link> &links,
              std::vector<QString> &folders) const;
    // Notes folder and, below it, every folder not in a hidden one.
    void addTree(const QString &folder, const QSet<QString> &asset_files);
    // A watched file added to, or removed from, a listed folder since.
    QString listingChange(const Listing &listing) const;
    // The first watched file or link in folder or below it; empty when none.
    QString firstWatchedBelow(const QString &folder) const;

    struct Entry
    {
        QString path;
        Velmora::UGUID owner;
        Stamp stamp;
    };

    std::vector<Entry> entries_;
    std::vector<Listing> listings_;
    // Lower case, no dot.
    std::unordered_set<std::string> extensions_;
    size_t longest_extension_ = 0;
};

} // namespace cleaner
