// Removal of assets: the only place where the asset manager deletes files.

#include "editor_core/editor/AssetManagerPrivate.h"

#include "editor_core/as/AssetTypes.h"
#include "editor_core/base/Assert.h"

#include <velmora/Log.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace Editor {

namespace {

// One asset as it is about to be deleted: its own files in deletion order
// (asset file first, meta file last), all cleaned absolute paths.
struct Doomed
{
    Velmora::UGUID guid;
    QString relative;
    QStringList files;
};

QString text(const Velmora::UGUID &guid)
{
    return QString::fromLatin1(guid.getString().get());
}

// Where a path really leads: the file and every folder above it with
// symlinks resolved. A path that does not exist resolves through its nearest
// existing folder. Empty when that cannot be told (a dangling link).
QString resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    if (info.isSymLink())
        return QString();
    QString tail = info.fileName();
    QString folder = info.absolutePath();
    for (;;) {
        const QFileInfo folder_info(folder);
        if (folder_info.exists()) {
            const QString canonical = folder_info.canonicalFilePath();
            return canonical.isEmpty() ? QString() : canonical + QLatin1Char('/') + tail;
        }
        if (folder_info.isSymLink())
            return QString();
        const int slash = folder.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return QString();
        tail = folder.mid(slash + 1) + QLatin1Char('/') + tail;
        folder = folder.left(slash);
    }
}

// Why a file of an asset must not be deleted; empty when it may. root ends
// with "/", canonical_root does not; expected_prefix, when given, is where
// the file must lie (stored runtimes live only under their own name).
QString refusal(const QString &path, const QString &root, const QString &canonical_root,
                const QString &expected_prefix = QString())
{
    if (!path.startsWith(root) || path.size() == root.size())
        return QStringLiteral("it is outside the data folder");
    if (!expected_prefix.isEmpty()
        && (!path.startsWith(expected_prefix) || path.indexOf(QLatin1Char('/'), expected_prefix.size()) >= 0))
        return QStringLiteral("it is not where the asset's stored runtimes belong");
    const QString resolved = resolvedPath(path);
    if (resolved.isEmpty())
        return QStringLiteral("where it leads cannot be told");
    if (!resolved.startsWith(canonical_root + QLatin1Char('/')))
        return QStringLiteral("it leads outside the data folder, to \"") + resolved + QLatin1Char('"');
    if (resolved.midRef(canonical_root.size() + 1).startsWith(QLatin1String("core/")))
        return QStringLiteral("it leads into the engine's core data, to \"") + resolved + QLatin1Char('"');
    return QString();
}

// Why an existing file cannot be deleted; empty when nothing stands in the
// way. A folder without any write permission counts as read-only even for
// a user (root) who could override it.
QString obstacle(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return QString();
    if (info.isDir() && !info.isSymLink())
        return QStringLiteral("a folder is in its place");
    const QFileInfo folder(info.absolutePath());
    const QFileDevice::Permissions write_bits
            = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!folder.isWritable() || !(folder.permissions() & write_bits))
        return QStringLiteral("its folder is read-only");
    return QString();
}

} // namespace

bool AssetManagerPrivate::remove(const Velmora::Vector<Velmora::UGUID> &guids)
{
    EC_ASSERT(QThread::currentThread() == thread());

    const QString root = rootPath();
    const QString canonical_root = root.isEmpty() ? QString() : QFileInfo(root).canonicalFilePath();
    if (canonical_root.isEmpty()) {
        Velmora::Log::warning("Asset manager: there is no data folder; nothing is removed\n");
        return false;
    }
    if (guids.isEmpty()) {
        Velmora::Log::warning("Asset manager: no asset was named; nothing is removed\n");
        return false;
    }

    // Check every asset and every file first: all or nothing.
    QVector<Doomed> doomed;
    doomed.reserve(guids.size());
    QSet<Velmora::UGUID> seen;
    bool refused = false;
    for (const Velmora::UGUID &guid : guids) {
        if (seen.contains(guid))
            continue;
        seen.insert(guid);
        const as::Asset record = asset(guid);
        if (record.isNull()) {
            const as::Asset owner = guid.isEmpty() ? as::Asset() : assetByRuntimeGUID(guid);
            if (!owner.isNull())
                Velmora::Log::warning("Asset manager: %s is a runtime of \"%s\", not an asset; nothing is removed\n",
                                      qUtf8Printable(text(guid)), qUtf8Printable(owner.getRelativePath()));
            else
                Velmora::Log::warning("Asset manager: %s is not an asset; nothing is removed\n",
                                      qUtf8Printable(guid.isEmpty() ? QStringLiteral("the empty GUID") : text(guid)));
            refused = true;
            continue;
        }
        if (record.isCore()) {
            Velmora::Log::warning("Asset manager: \"%s\" is a core asset; nothing is removed\n",
                                  qUtf8Printable(record.getRelativePath()));
            refused = true;
            continue;
        }

        Doomed entry;
        entry.guid = guid;
        entry.relative = record.getRelativePath();
        const QString file = QDir::cleanPath(record.getFilePath());
        QStringList prefixes;
        entry.files << file;
        prefixes << QString();
        for (const as::Runtime &runtime : record.getRuntimes()) {
            if (!runtime.isStored())
                continue;
            const QString hex = text(runtime.getGUID());
            const QString runtime_file = QDir::cleanPath(filePath(runtime.getGUID()));
            const QString prefix
                    = root + QStringLiteral(".runtimes/") + hex.left(2) + QLatin1Char('/') + hex + QLatin1Char('.');
            entry.files << runtime_file << runtime_file + QStringLiteral(".meta");
            prefixes << prefix << prefix;
        }
        entry.files << file + QLatin1Char('.') + QLatin1String(as::ASSET_EXTENSION);
        prefixes << QString();

        for (int i = 0; i < entry.files.size(); ++i) {
            const QString why = refusal(entry.files[i], root, canonical_root, prefixes[i]);
            if (!why.isEmpty()) {
                Velmora::Log::warning("Asset manager: \"%s\" of \"%s\" is not deleted: %s; nothing is removed\n",
                                      qUtf8Printable(entry.files[i]), qUtf8Printable(entry.relative),
                                      qUtf8Printable(why));
                refused = true;
            }
        }
        doomed.append(entry);
    }
    if (refused)
        return false;

    // Delete. An asset whose files cannot all go is not touched at all when
    // that shows beforehand; a deletion that fails anyway stops at that file
    // and keeps the meta file (deleted last), so the asset stays whole enough
    // to be removed again.
    Velmora::Vector<Velmora::UGUID> gone;
    for (const Doomed &entry : qAsConst(doomed)) {
        bool blocked = false;
        for (const QString &file : entry.files) {
            const QString why = obstacle(file);
            if (!why.isEmpty()) {
                Velmora::Log::warning("Asset manager: cannot delete \"%s\": %s; \"%s\" stays an asset\n",
                                      qUtf8Printable(file), qUtf8Printable(why), qUtf8Printable(entry.relative));
                blocked = true;
            }
        }
        if (blocked)
            continue;
        bool failed = false;
        for (const QString &file : entry.files) {
            const QFileInfo info(file);
            if (!info.exists() && !info.isSymLink())
                continue;
            QFile doomed_file(file);
            if (!doomed_file.remove()) {
                Velmora::Log::warning("Asset manager: cannot delete \"%s\": %s; \"%s\" stays an asset\n",
                                      qUtf8Printable(file), qUtf8Printable(doomed_file.errorString()),
                                      qUtf8Printable(entry.relative));
                failed = true;
                break;
            }
        }
        if (!failed)
            gone.append(entry.guid);
    }

    QSet<Velmora::UGUID> erased;
    erased.reserve(gone.size());
    for (const Velmora::UGUID &guid : gone) {
        erased.insert(guid);
        emit aboutToBeRemoved(guid);
    }
    if (!erased.isEmpty())
        eraseRecords(erased);
    for (const Velmora::UGUID &guid : gone)
        emit removed(guid);
    QMetaObject::invokeMethod(
            this, [this] { emit end(); }, Qt::QueuedConnection);

    // A scan listed the files before they went; its result would bring the
    // removed assets back.
    if (scan_thread_)
        rescan();
    return true;
}

} // namespace Editor
