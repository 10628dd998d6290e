#include "editor/cleaner/parser/read_failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace cleaner {

QString ReadFailureList::identity(const QString &path)
{
    // Every name of one file leads to its inode. Paths here are absolute
    // (or a GUID), never starting with a colon, so the two kinds of key
    // never meet.
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return QStringLiteral(":%1:%2").arg(quint64(info.st_dev)).arg(quint64(info.st_ino));
    return QDir::cleanPath(path);
}

bool ReadFailureList::add(const QString &path, const QString &reason)
{
    const QString key = identity(path);
    const auto found = index_.constFind(key);
    if (found != index_.constEnd())
        return merge(files_[size_t(found.value())], path, reason);
    index_.insert(key, int(files_.size()));
    files_.push_back(File{key, {QDir::cleanPath(path)}, {reason}});
    return true;
}

void ReadFailureList::add(const ReadFailureList &other)
{
    for (const File &file : other.files_) {
        const auto found = index_.constFind(file.key);
        if (found == index_.constEnd()) {
            index_.insert(file.key, int(files_.size()));
            files_.push_back(file);
            continue;
        }
        File &known = files_[size_t(found.value())];
        for (const QString &name : file.names)
            merge(known, name, QString());
        for (const QString &reason : file.reasons)
            merge(known, QString(), reason);
    }
}

bool ReadFailureList::merge(File &file, const QString &name, const QString &reason)
{
    bool changed = false;
    if (!reason.isEmpty() && !file.reasons.contains(reason)) {
        file.reasons.append(reason);
        changed = true;
    }
    const QString clean = name.isEmpty() ? QString() : QDir::cleanPath(name);
    if (!clean.isEmpty() && !file.names.contains(clean)) {
        // A file is shown by its own name rather than by a link to it.
        if (QFileInfo(file.names.first()).isSymLink() && !QFileInfo(clean).isSymLink())
            file.names.prepend(clean);
        else
            file.names.append(clean);
        changed = true;
    }
    return changed;
}

ReadFailures ReadFailureList::failures() const
{
    ReadFailures result;
    result.reserve(int(files_.size()));
    for (const File &file : files_) {
        QString reason = file.reasons.join(QStringLiteral("; "));
        if (file.names.size() > 1) {
            QStringList others;
            for (int i = 1; i < file.names.size(); ++i)
                others << QLatin1Char('"') + file.names.at(i) + QLatin1Char('"');
            reason += QStringLiteral(" (also reached as %1)").arg(others.join(QStringLiteral(", ")));
        }
        result.append(ReadFailure{file.names.first(), reason});
    }
    return result;
}

void ReadFailureList::clear()
{
    files_.clear();
    index_.clear();
}

} // namespace cleaner
