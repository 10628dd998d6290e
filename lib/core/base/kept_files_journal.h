#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace Velmora {
class WriteWatch;
}

namespace base {

// The record a run that writes over several files of one folder keeps of
// their earlier contents (the kept files, Velmora::OwnNames KEPT, beside
// them), written whole beside them (a JOURNAL name) before the first file
// is written over, and again each time a file is kept and when the run has
// finished. It is what lets the next start tell a run that was killed half
// way (the kept files go back over their files, so that the earlier set is
// whole again) from a finished run whose kept files only served undo (they
// go, and the set as the run left it stays).
//
// A later change between the two sets (an undo or redo swap) starts the
// record again: each file's present contents kept (the files go back to
// them unless the change finishes), and the other set's copies it puts in
// place, to be dropped once the files are whole again.
//
// Before a file is written over, the record also holds a checksum of what
// the change puts there, so that the next start writes a kept file back only
// over a file that is still what the change left: one changed since (by the
// user, after the crash) stays as it is, and so does its kept file.
class KeptFilesJournal
{
public:
    struct Kept
    {
        QString file; // absolute, in the journal's folder
        QString kept;
    };

    // A journal not written yet, named after label, in folder.
    KeptFilesJournal(const QString &folder, const QString &label);

    QString path() const { return path_; }

    // Records that kept holds the earlier contents of file (both in the
    // journal's folder); the journal is written whole before this returns
    // true. False, with the reason in *error, when it could not be written
    // (file must not be written over then).
    bool add(const QString &file, const QString &kept, QString *error);
    // Records that contents are about to be put under file, one the journal
    // keeps the earlier contents of (for any other file there is nothing to
    // record); written whole before this returns true. file must not be
    // written over when it returns false.
    bool expect(const QString &file, const QByteArray &contents, QString *error);
    // Calls expect for each checked write of the engine on this thread for
    // as long as the watch lives (it must not outlive the journal); a write
    // expect refuses does not happen.
    std::unique_ptr<Velmora::WriteWatch> watchWrites();
    // Records that the run finished; true when that was written.
    bool finish(QString *error);
    // Starts a change over again: back names the kept present contents of
    // the files, drop the copies the change puts under them instead (their
    // checksums are taken now; a file the change writes another way is
    // announced by expect). Written
    // whole before this returns true; on failure the record stays as it was.
    bool begin(const QVector<Kept> &back, const QVector<Kept> &drop, QString *error);
    // Records that the change finished, and that the files' other contents
    // are now in kept (only for undo).
    bool finish(const QVector<Kept> &kept, QString *error);
    // Removes the journal (once the kept files it names are dealt with).
    void remove();

    // What the start-up did with the journal at path, which a process that
    // no longer runs left.
    struct Changed
    {
        QString file; // absolute
        QString kept;
    };
    struct Recovery
    {
        QStringList put_back; // files that got their kept contents back
        // Files changed since the change left them, which keep what they
        // have; their kept files stay, and so does the journal.
        QVector<Changed> changed;
        QStringList kept; // every kept file the journal names (absolute)
        bool resolved = false; // the journal and its kept files are gone
    };
    // A run that did not finish: each kept file goes back over its file,
    // when the file still has what the run put there or what was kept. A
    // finished run: each kept file is removed. A file changed or removed
    // since keeps what it has (or stays away), with its kept file beside it
    // (changed): never the only copy goes. A kept file that is not a plain
    // file of this user, or a file name that is anything but a plain file or
    // free, is left as it is, and so is the journal then.
    // The copies a change was to drop go only once all that is done, and
    // only while their file is there.
    static Recovery recover(const QString &path);

private:
    struct Entry
    {
        QString file; // names in the journal's folder
        QString kept;
        bool drop = false;
        QByteArray put; // checksum of what the change puts under file
    };

    bool entryOf(const Kept &kept, bool drop, Entry *entry, QString *error) const;
    bool replace(const QVector<Kept> &back, const QVector<Kept> &drop, bool finished, QString *error);
    bool write(QString *error);

    QString folder_;
    QString label_;
    QString path_;
    QVector<Entry> entries_;
    bool finished_ = false;
    bool written_ = false;
};

} // namespace base
