#include "editor_core/fs/FileSystem.h"

#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"

#include <velmora/Engine.h>
#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/OwnNames.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs {

namespace {

const QLatin1String GUID_PREFIX("guid://");

// Backslashes count as separators on every platform.
QString slashes(const QString &path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const char *data, size_t size, QString &reason)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            reason = written < 0 ? errnoText(errno) : QStringLiteral("nothing was written");
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

// The path with every symbolic link resolved ("" when it cannot be).
QByteArray resolvedPath(const QByteArray &path, int &error)
{
    char *resolved = ::realpath(path.constData(), nullptr);
    error = resolved ? 0 : errno;
    const QByteArray result = resolved ? QByteArray(resolved) : QByteArray();
    std::free(resolved);
    return result;
}

// A document saved under a symbolic link is the file the link leads to,
// provided that file lies inside the data folder (both compared with every
// link resolved, the data folder's own included). A link leading outside,
// nowhere or round in a loop is refused: writing through it would change a
// file elsewhere or make one, and replacing it would cut it.
bool followLink(const QByteArray &link, QByteArray &target, QString &reason)
{
    int error = 0;
    target = resolvedPath(link, error);
    if (target.isEmpty()) {
        reason = error == ELOOP ? QStringLiteral("the name is a loop of symbolic links")
                : error == ENOENT
                ? QStringLiteral("the name is a symbolic link that leads nowhere")
                : QStringLiteral("the name is a symbolic link that cannot be followed: ") + errnoText(error);
        return false;
    }
    const QString data = dataPath();
    const QByteArray folder = data.isEmpty() ? QByteArray() : resolvedPath(QFile::encodeName(data), error);
    if (folder.isEmpty() || !target.startsWith(folder.endsWith('/') ? folder : folder + '/')) {
        reason = QStringLiteral("the name is a symbolic link that leads outside the data folder");
        return false;
    }
    return true;
}

// A file system that stores no modes (FAT, some network shares) refuses to
// change one; the file is whole without it.
bool modeNotStored(int error)
{
#if EOPNOTSUPP != ENOTSUP
    if (error == EOPNOTSUPP)
        return true;
#endif
    return error == EPERM || error == ENOSYS || error == ENOTSUP;
}

// The bytes go to a new temporary file beside the target, which takes the
// target's name only once every write, the sync and the close succeeded;
// on any failure the temporary file is removed and the target untouched.
// A name that is a symbolic link to a file inside the data folder saves
// that file (its temporary file beside it) and stays a link; any other link
// is never written through nor replaced. Without overwrite, any name that
// exists, a link of any kind included, is refused.
bool commitWholeFile(const QString &path, const char *data, size_t size, bool overwrite, QString &reason)
{
    const QByteArray name = QFile::encodeName(path);
    QByteArray target = name;
    struct stat existing;
    const bool exists = ::lstat(target.constData(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        reason = errnoText(errno);
        return false;
    }
    if (exists && !overwrite) {
        reason = QStringLiteral("the file exists and is not replaced");
        return false;
    }
    if (exists && S_ISLNK(existing.st_mode)) {
        if (!followLink(name, target, reason))
            return false;
        if (::lstat(target.constData(), &existing) != 0) {
            reason = errnoText(errno);
            return false;
        }
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        reason = QStringLiteral("the name is not a plain file");
        return false;
    }
    if (exists && ::access(target.constData(), W_OK) != 0) {
        reason = QStringLiteral("the existing file is not writable");
        return false;
    }
    const int slash = target.lastIndexOf('/');
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target.left(slash + 1)
                + QByteArray::fromStdString(
                            Velmora::OwnNames::make(Velmora::OwnNames::TEMPORARY, target.mid(slash + 1).toStdString()));
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            reason = errnoText(errno);
            return false;
        }
    }
    if (fd < 0) {
        reason = QStringLiteral("no free temporary name");
        return false;
    }
    bool ok = writeAll(fd, data, size, reason);
    if (ok && exists && ::fchmod(fd, existing.st_mode & 07777) != 0 && !modeNotStored(errno)) {
        reason = errnoText(errno);
        ok = false;
    }
    if (ok && ::fsync(fd) != 0 && errno != EINVAL) {
        reason = errnoText(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        reason = errnoText(errno);
        ok = false;
    }
    if (ok) {
        // Without overwrite the name is taken only if it is still free.
        const bool moved = overwrite ? ::rename(temporary.constData(), target.constData()) == 0
                                     : moveToFreeName(temporary, target);
        if (!moved) {
            reason = errno == EEXIST ? QStringLiteral("the file exists and is not replaced") : errnoText(errno);
            ok = false;
        }
    }
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

// The file system cannot do what was asked in that way (as opposed to a
// taken name, a full disk, a refused permission).
bool notSupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP || error == EPERM
            || error == EMLINK || error == EXDEV;
}

// Takes the name to by creating it exclusively, then renames from over
// that empty file, which is still the one made here.
bool moveOverReservation(const QByteArray &from, const QByteArray &to)
{
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        // The name was free (else EEXIST); an empty file under it now is
        // the half-made entry of a full FAT folder.
        const int error = errno;
        struct stat left;
        if (error != EEXIST && ::lstat(to.constData(), &left) == 0 && S_ISREG(left.st_mode) && left.st_size == 0)
            ::unlink(to.constData());
        errno = error;
        return false;
    }
    struct stat made;
    const bool known = ::fstat(fd, &made) == 0;
    ::close(fd);
    struct stat now;
    const bool still_ours = known && ::lstat(to.constData(), &now) == 0 && S_ISREG(now.st_mode)
            && now.st_dev == made.st_dev && now.st_ino == made.st_ino && now.st_size == 0;
    if (still_ours && ::rename(from.constData(), to.constData()) == 0)
        return true;
    const int error = still_ours ? errno : EEXIST;
    if (still_ours)
        ::unlink(to.constData());
    errno = error;
    return false;
}

bool isInside(const QString &absolute, const QString &folder)
{
    return !folder.isEmpty() && (absolute + QLatin1Char('/')).startsWith(folder);
}

} // namespace

bool moveToFreeName(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (!notSupported(errno))
        return false;
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (!notSupported(errno))
        return false;
    return moveOverReservation(from, to);
}

QString dataPath()
{
    QString path;
    if (Velmora::Engine *engine = Velmora::Engine::get())
        path = QString::fromUtf8(engine->getDataPath().get());
    else if (depr::g.asset_manager)
        path = depr::g.asset_manager->rootPath();
    if (path.isEmpty())
        return path;
    return normalizeDirPath(path);
}

QString absDataPath(const QString &path)
{
    if (path.isEmpty())
        return dataPath();
    if (path.startsWith(GUID_PREFIX) || Velmora::UGUID::isGUIDText(path.toUtf8().constData())) {
        const QString real = realPath(Velmora::UGUID(path.toUtf8().constData()));
        if (!real.isEmpty())
            return real;
    }
    const QString normal = normalizePath(path);
    if (!QDir::isRelativePath(normal))
        return normal;
    const QString data = dataPath();
    return data.isEmpty() ? normal : normalizePath(data + normal);
}

QString relDataPath(const QString &path)
{
    if (path.startsWith(GUID_PREFIX))
        return relDataPath(Velmora::UGUID(path.toUtf8().constData()));
    const QString normal = normalizePath(path);
    if (QDir::isRelativePath(normal))
        return normal == QLatin1String(".") ? QString() : normal;
    const QString data = dataPath();
    if (isInside(normal, data))
        return normal.mid(data.size());
    return normal;
}

QString relDataPath(const Velmora::UGUID &guid)
{
    const QString real = realPath(guid);
    if (real.isEmpty() || real.startsWith(GUID_PREFIX))
        return real;
    return relDataPath(real);
}

QString realPath(const Velmora::UGUID &guid)
{
    if (guid.isEmpty())
        return QString();
    if (Editor::AssetManagerPrivate *assets = depr::g.asset_manager) {
        const QString path = assets->filePath(guid);
        if (!path.isEmpty())
            return path;
        if (assets->hasRuntime(guid))
            return GUID_PREFIX + QString::fromLatin1(guid.getString().get());
    }
    if (Velmora::FileSystem::isInitialized()) {
        const Velmora::String path = Velmora::FileSystem::getAbsolutePath(guid);
        if (!path.isEmpty())
            return QString::fromUtf8(path.get());
        if (Velmora::FileSystem::isVirtualFile(guid))
            return GUID_PREFIX + QString::fromLatin1(guid.getString().get());
    }
    return QString();
}

QString virtualPath(const QString &path)
{
    if (path.startsWith(GUID_PREFIX))
        return path;
    return relDataPath(path);
}

QString virtualPath(const Velmora::UGUID &guid)
{
    return relDataPath(guid);
}

QString pathname(const QString &path)
{
    const QString normal = slashes(path);
    const int slash = normal.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : normal.left(slash + 1);
}

QString dirname(const QString &path)
{
    return pathname(path);
}

QString basename(const QString &path)
{
    const QString normal = slashes(path);
    return normal.mid(normal.lastIndexOf(QLatin1Char('/')) + 1);
}

QString getExtension(const QString &path)
{
    const QString name = basename(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1) : QString();
}

QString setExtension(const QString &path, const QString &extension)
{
    const QString name = basename(path);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    QString stem = path;
    if (dot > 0)
        stem.chop(name.size() - dot);
    QString ext = extension;
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    return ext.isEmpty() ? stem : stem + QLatin1Char('.') + ext;
}

QString normalizePath(const QString &path)
{
    if (path.isEmpty())
        return path;
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(result);
}

QString normalizeDirPath(const QString &path)
{
    QString result = normalizePath(path);
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

QString appendPath(const QString &base, const QString &path)
{
    if (base.isEmpty())
        return path;
    if (path.isEmpty())
        return base;
    QString left = base;
    while (left.endsWith(QLatin1Char('/')) && left.size() > 1)
        left.chop(1);
    QString right = path;
    while (right.startsWith(QLatin1Char('/')))
        right.remove(0, 1);
    if (left == QLatin1String("/"))
        return left + right;
    return left + QLatin1Char('/') + right;
}

QString toSourcePath(const QString &path)
{
    return absDataPath(path);
}

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(absDataPath(path)).isFile();
}

bool removeFile(const QString &path)
{
    const QString absolute = absDataPath(path);
    const QString data = dataPath();
    if (path.isEmpty() || !isInside(absolute, data) || absolute + QLatin1Char('/') == data) {
        Velmora::Log::warning("fs: \"%s\" is outside the data folder; it is not deleted\n", qUtf8Printable(path));
        return false;
    }
    QFileInfo info(absolute);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir()) {
        Velmora::Log::warning("fs: \"%s\" is a folder; it is not deleted\n", qUtf8Printable(absolute));
        return false;
    }
    if (!QFile::remove(absolute)) {
        Velmora::Log::warning("fs: cannot delete \"%s\"\n", qUtf8Printable(absolute));
        return false;
    }
    return true;
}

bool readRegularFile(const QString &path, QByteArray &bytes, QString *reason)
{
    bytes.clear();
    auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    int fd;
    do {
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info;
    const bool stated = ::fstat(fd, &info) == 0;
    if (!stated || !S_ISREG(info.st_mode)) {
        const bool folder = stated && S_ISDIR(info.st_mode);
        ::close(fd);
        return fail(folder ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file"));
    }
    if (info.st_size > std::numeric_limits<int>::max() - 1) {
        ::close(fd);
        return fail(QStringLiteral("it is too large"));
    }
    bytes.reserve(int(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || bytes.size() + n > std::numeric_limits<int>::max() - 1) {
            const QString why
                    = n < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("it is too large");
            ::close(fd);
            bytes.clear();
            return fail(why);
        }
        if (n == 0)
            break;
        bytes.append(buffer, int(n));
    }
    ::close(fd);
    return true;
}

QByteArray readFSFileToByteArray(const QString &path)
{
    const QString absolute = absDataPath(path);
    QByteArray bytes;
    QString reason;
    if (!readRegularFile(absolute, bytes, &reason))
        Velmora::Log::warning("fs: cannot read \"%s\": %s\n", qUtf8Printable(absolute), qUtf8Printable(reason));
    return bytes;
}

bool writeStringToFSFile(const QString &path, const char *data, qint64 size, bool overwrite, QString *error)
{
    const QString absolute = absDataPath(path);
    QString reason;
    bool written = false;
    if (absolute.isEmpty() || size < 0 || (size > 0 && !data))
        reason = QStringLiteral("nothing to write");
    else
        written = commitWholeFile(absolute, data, size_t(size), overwrite, reason);
    if (written)
        return true;
    Velmora::Log::warning("fs: cannot write \"%s\": %s\n", qUtf8Printable(absolute.isEmpty() ? path : absolute),
                          qUtf8Printable(reason));
    if (error)
        *error = reason;
    return false;
}

} // namespace fs
