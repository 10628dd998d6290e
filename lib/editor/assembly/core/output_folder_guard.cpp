#include "editor/assembly/core/output_folder_guard.h"

#include "editor/assembly/core/engine_info.h"

#include <editor_core/fs/FileSystem.h>
#include <velmora/Engine.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtDebug>

namespace assembly {

namespace {

QString asFolder(const QString &path)
{
    QString result = QDir::cleanPath(path);
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

// The folder's path with symbolic links resolved as far as the path exists:
// the deepest existing ancestor is made canonical and the rest appended.
QString canonicalFolder(const QString &folder)
{
    QString existing = QDir::cleanPath(folder);
    QString rest;
    while (!QFileInfo::exists(existing)) {
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return asFolder(folder);
        rest = existing.mid(slash) + rest;
        existing = existing.left(slash);
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return asFolder((canonical.isEmpty() ? existing : canonical) + rest);
}

// Removes every entry of a real folder; symbolic links are removed as links.
bool removeContents(const QString &folder)
{
    bool ok = true;
    const QDir dir(folder);
    const QFileInfoList entries
            = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (!entry.isSymLink() && entry.isDir()) {
            ok = removeContents(path) && ok;
            ok = dir.rmdir(entry.fileName()) && ok;
        } else {
            ok = QFile::remove(path) && ok;
        }
    }
    return ok;
}

} // namespace

OutputFolderGuard OutputFolderGuard::forRunningEditor()
{
    OutputFolderGuard guard;
    if (Velmora::Engine::get()) {
        const QString data = getDataDir();
        const QString exe = getExeDir();
        guard.protectTree(data, QStringLiteral("data folder"));
        guard.protectFolder(data + QStringLiteral("../"), QStringLiteral("project folder"));
        guard.protectFolder(exe, QStringLiteral("engine binaries folder"));
        guard.protectFolder(getCacheDir(), QStringLiteral("engine cache folder"));
    }
    const QString data = ::fs::dataPath();
    guard.protectTree(data, QStringLiteral("data folder"));
    guard.protectFolder(data + QStringLiteral("../"), QStringLiteral("project folder"));
    guard.protectFolder(QDir::homePath(), QStringLiteral("home folder"));
    for (const QFileInfo &drive : QDir::drives())
        guard.protectFolder(drive.absoluteFilePath(), QStringLiteral("file-system root"));
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        guard.protectFolder(volume.rootPath(), QStringLiteral("file-system root"));
    return guard;
}

void OutputFolderGuard::protectTree(const QString &folder, const QString &label)
{
    protect(folder, label, true);
}

void OutputFolderGuard::protectFolder(const QString &folder, const QString &label)
{
    protect(folder, label, false);
}

void OutputFolderGuard::protect(const QString &folder, const QString &label, bool tree)
{
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return;
    for (const QString &form : {asFolder(folder), canonicalFolder(folder)}) {
        bool known = false;
        for (const Protection &protection : protections_)
            known = known || (protection.folder == form && protection.tree == tree);
        if (!known)
            protections_.append(Protection{form, label, tree});
    }
}

QString OutputFolderGuard::refusal(const QString &path) const
{
    if (path.trimmed().isEmpty())
        return QStringLiteral("the build folder is not set");
    if (path.contains(QLatin1Char('\\')) || path.contains(QChar(0)))
        return QStringLiteral("the build folder path is malformed");
    if (QDir::isRelativePath(path))
        return QStringLiteral("the build folder must be an absolute path");

    const QFileInfo info(QDir::cleanPath(path));
    if (info.isSymLink())
        return QStringLiteral("the build folder is a symbolic link");
    if (info.exists() && !info.isDir())
        return QStringLiteral("the build folder is a file");

    const QString given = asFolder(path);
    const QString canonical = canonicalFolder(path);
    // The most telling reason first: being a protected folder, then
    // containing one, then lying inside a protected tree.
    for (const QString &candidate : {given, canonical}) {
        for (const Protection &protection : protections_) {
            if (candidate == protection.folder)
                return QStringLiteral("the build folder is the %1 (%2)").arg(protection.label, protection.folder);
        }
    }
    for (const QString &candidate : {given, canonical}) {
        for (const Protection &protection : protections_) {
            if (protection.folder.startsWith(candidate))
                return QStringLiteral("the build folder contains the %1 (%2)").arg(protection.label, protection.folder);
        }
    }
    for (const QString &candidate : {given, canonical}) {
        for (const Protection &protection : protections_) {
            if (protection.tree && candidate.startsWith(protection.folder))
                return QStringLiteral("the build folder lies inside the %1 (%2)")
                        .arg(protection.label, protection.folder);
        }
    }
    return QString();
}

bool OutputFolderGuard::isEmptyFolder(const QString &path)
{
    const QDir dir(path);
    if (!dir.exists())
        return true;
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

bool OutputFolderGuard::clear(const QString &path) const
{
    const QString reason = refusal(path);
    if (!reason.isEmpty()) {
        qCritical() << "Build Tool: refusing to clear the output directory (" << path << "):" << qUtf8Printable(reason);
        return false;
    }
    const QString folder = asFolder(path);
    if (QFileInfo(folder).isDir() && !removeContents(folder)) {
        const QStringList left = QDir(folder).entryList(
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
        if (!left.isEmpty()) {
            qCritical() << "Build Tool: can't clear output directory (" << folder << ").";
            return false;
        }
    }
    if (!QDir().mkpath(folder)) {
        qCritical() << "Build Tool: can't create output directory (" << folder << ").";
        return false;
    }
    return true;
}

} // namespace assembly
