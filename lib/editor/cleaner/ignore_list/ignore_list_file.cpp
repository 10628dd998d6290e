#include "editor/cleaner/ignore_list/ignore_list_file.h"

#include "core/base/regular_file.h"

#include <editor_core/fs/FileSystem.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace cleaner {

QString IgnoreListFile::filePath()
{
    return fs::absDataPath(QStringLiteral(".tamsel2/.cleanerignore"));
}

namespace {

// Why a path that lstat does not find is not there: a folder on the way that
// is a link leading nowhere hides a file rather than proves it absent.
QString whyFolderUnreachable(const QByteArray &folder)
{
    struct stat info;
    if (::lstat(folder.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? QString() : qt_error_string(errno);
    if (!S_ISLNK(info.st_mode) || ::stat(folder.constData(), &info) == 0)
        return QString();
    const int error = errno;
    return QStringLiteral("its folder \"%1\" is a link that leads nowhere (%2)")
            .arg(QDir::toNativeSeparators(QFile::decodeName(folder)), qt_error_string(error));
}

} // namespace

IgnoreListFile::ReadStatus IgnoreListFile::read(QString &text, QString *error)
{
    text.clear();
    const QString path = filePath();
    const QByteArray native = QFile::encodeName(path);
    QString reason;
    const auto fail = [&](const QString &what) {
        if (error)
            *error = QStringLiteral("The ignore list \"%1\" cannot be read: %2")
                             .arg(QDir::toNativeSeparators(path), what);
        return ReadStatus::Failed;
    };

    // Anything in the file's place that cannot be read, a link leading
    // nowhere included, fails: the defaults must not stand in for patterns
    // the user has but the editor cannot see.
    struct stat info;
    if (::lstat(native.constData(), &info) != 0) {
        const int lstat_error = errno;
        if (lstat_error != ENOENT && lstat_error != ENOTDIR)
            return fail(qt_error_string(lstat_error));
        reason = whyFolderUnreachable(QFile::encodeName(QFileInfo(path).absolutePath()));
        return reason.isEmpty() ? ReadStatus::Absent : fail(reason);
    }
    if (S_ISLNK(info.st_mode) && ::stat(native.constData(), &info) != 0) {
        const int stat_error = errno;
        return fail(stat_error == ELOOP ? QStringLiteral("it is a loop of symbolic links")
                                        : QStringLiteral("it is a symbolic link that leads nowhere (%1)")
                                                  .arg(qt_error_string(stat_error)));
    }
    reason = base::RegularFile::whyNotRegular(info.st_mode);
    if (!reason.isEmpty())
        return fail(reason);

    // Should a FIFO have taken the file's place since the look above, the
    // open refuses it without waiting.
    const int fd = base::RegularFile::open(path, &reason);
    if (fd < 0)
        return fail(reason);
    QByteArray bytes;
    const bool ok = base::RegularFile::readAll(fd, MAX_FILE_SIZE, bytes, &reason);
    ::close(fd);
    if (!ok)
        return fail(reason);
    // With its size: the array form stops at the first NUL byte.
    text = QString::fromUtf8(bytes.constData(), bytes.size());
    return ReadStatus::Read;
}

bool IgnoreListFile::write(const QString &text, QString *error)
{
    // A link to a file inside the data folder saves that file and stays a
    // link (a list shared within the project stays shared); the whole-file
    // write refuses any other link, which could put the list anywhere.
    const QString path = filePath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder \"%1\" cannot be made.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    QString reason;
    if (!fs::writeStringToFSFile(path, bytes.constData(), bytes.size(), true, &reason)) {
        if (error)
            *error = QStringLiteral("The ignore list \"%1\" cannot be written: %2")
                             .arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    return true;
}

bool IgnoreListFile::remove(QString *error)
{
    const QString path = filePath();
    // A link leading nowhere is there too, and is deleted (not its target).
    const auto present = [&path] {
        const QFileInfo info(path);
        return info.exists() || info.isSymLink();
    };
    if (!present())
        return true;
    if (fs::removeFile(path) && !present())
        return true;
    if (error)
        *error = QStringLiteral("The ignore list \"%1\" cannot be deleted.").arg(QDir::toNativeSeparators(path));
    return false;
}

} // namespace cleaner
