#pragma once

#include <velmora/UGUID.h>

#include <QSet>
#include <QString>

#include <vector>

namespace cleaner {

// What a collection read, each file or folder with how it looked just
// before: size, modification and change times and identity, or that it was
// missing. Asked again later (before anything is deleted) it tells whether
// any of it changed since, without reading a file again: a world saved, a
// script edited, a source file added, the ignore list replaced. The change
// time is what gives away an edit in place whose size and modification time
// were put back (cp -p, rsync --inplace -t, touch -r): no one can set it.
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

    // A file or folder that is no longer as it was noted; empty when none
    // is. The files of assets in gone (removed since) are not looked at.
    // A large list is looked at on several threads.
    QString firstChange(const QSet<Velmora::UGUID> &gone = QSet<Velmora::UGUID>()) const;

private:
    struct Entry
    {
        QString path;
        Velmora::UGUID owner;
        Stamp stamp;
    };

    std::vector<Entry> entries_;
};

} // namespace cleaner
