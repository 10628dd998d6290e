#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

namespace cleaner {

// A file that may hold references but could not be read or parsed: while a
// collection has any, its unused list may be incomplete.
struct ReadFailure
{
    QString path; // absolute
    QString reason;

    bool operator==(const ReadFailure &other) const { return path == other.path && reason == other.reason; }
};

using ReadFailures = QVector<ReadFailure>;

// The files a collection could not read, each listed once however many
// readers failed on it and through whatever names it was reached. A file is
// known by its identity on its device, so that a link, a hard link and the
// file itself are one; a file that is not there is known by its path. What
// a later failure of a listed file says that is new (another reason, another
// name) is added to its entry, so nothing is lost by listing it once.
class ReadFailureList
{
public:
    // Adds a failure to read path. True when the list changed: a file not
    // listed yet, or a reason or name not noted for it yet.
    bool add(const QString &path, const QString &reason);
    // Adds every failure of other.
    void add(const ReadFailureList &other);

    // One entry per file, in the order first failed: named by its own name
    // (the first name that is no symbolic link), its reasons joined, and
    // the other names it was reached through.
    ReadFailures failures() const;
    int size() const { return int(files_.size()); }
    bool isEmpty() const { return files_.empty(); }
    void clear();

private:
    struct File
    {
        QString key;
        QStringList names; // the first is the one shown
        QStringList reasons;
    };

    static QString identity(const QString &path);
    bool merge(File &file, const QString &name, const QString &reason);

    std::vector<File> files_;
    QHash<QString, int> index_; // identity -> position in files_
};

} // namespace cleaner
