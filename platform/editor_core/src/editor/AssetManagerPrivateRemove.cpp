// Removal of assets: the only place where the asset manager deletes files.

#include "editor_core/editor/AssetManagerPrivate.h"

#include "editor_core/as/AssetTypes.h"
#include "editor_core/base/Assert.h"

#include <velmora/Log.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

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

// Where paths really lead: the file and every folder above it with symlinks
// resolved. A path that does not exist resolves through its nearest existing
// folder. Empty when that cannot be told (a dangling link). Folders are
// resolved once each, so that the files of many assets cost about one look
// each.
class Resolver
{
public:
    QString resolve(const QString &path)
    {
        const QFileInfo info(path);
        if (info.isSymLink())
            return info.exists() ? info.canonicalFilePath() : QString();
        const QString folder = this->folder(info.absolutePath());
        return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + info.fileName();
    }

private:
    QString folder(const QString &path)
    {
        const auto known = folders_.constFind(path);
        if (known != folders_.constEnd())
            return known.value();
        QString resolved;
        const QFileInfo info(path);
        if (info.exists()) {
            resolved = info.canonicalFilePath();
        } else if (!info.isSymLink()) {
            const int slash = path.lastIndexOf(QLatin1Char('/'));
            if (slash > 0) {
                const QString parent = folder(path.left(slash));
                if (!parent.isEmpty())
                    resolved = parent + path.mid(slash);
            }
        }
        folders_.insert(path, resolved);
        return resolved;
    }

    QHash<QString, QString> folders_;
};

// Why a file of an asset must not be deleted; empty when it may. root ends
// with "/", canonical_root does not; expected_prefix, when given, is where
// the file must lie (stored runtimes live only under their own name).
QString refusal(Resolver &resolver, const QString &path, const QString &root, const QString &canonical_root,
                const QString &expected_prefix = QString())
{
    if (!path.startsWith(root) || path.size() == root.size())
        return QStringLiteral("it is outside the data folder");
    if (!expected_prefix.isEmpty()
        && (!path.startsWith(expected_prefix) || path.indexOf(QLatin1Char('/'), expected_prefix.size()) >= 0))
        return QStringLiteral("it is not where the asset's stored runtimes belong");
    const QString resolved = resolver.resolve(path);
    if (resolved.isEmpty())
        return QStringLiteral("where it leads cannot be told");
    if (!resolved.startsWith(canonical_root + QLatin1Char('/')))
        return QStringLiteral("it leads outside the data folder, to \"") + resolved + QLatin1Char('"');
    if (resolved.midRef(canonical_root.size() + 1).startsWith(QLatin1String("core/")))
        return QStringLiteral("it leads into the engine's core data, to \"") + resolved + QLatin1Char('"');
    return QString();
}

// The check of remove() for one GUID: fills entry with the asset's files
// and returns every reason to refuse it (none when it may go).
QStringList problemsOf(const AssetManagerPrivate &manager, Resolver &resolver, const Velmora::UGUID &guid,
                       const QString &root, const QString &canonical_root, Doomed &entry)
{
    const as::Asset record = manager.asset(guid);
    if (record.isNull()) {
        const as::Asset owner = guid.isEmpty() ? as::Asset() : manager.assetByRuntimeGUID(guid);
        if (!owner.isNull())
            return {text(guid) + QStringLiteral(" is a runtime of \"") + owner.getRelativePath()
                    + QStringLiteral("\", not an asset")};
        return {(guid.isEmpty() ? QStringLiteral("the empty GUID") : text(guid)) + QStringLiteral(" is not an asset")};
    }
    if (record.isCore())
        return {QLatin1Char('"') + record.getRelativePath() + QStringLiteral("\" is a core asset")};

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
        const QString runtime_file = QDir::cleanPath(manager.filePath(runtime.getGUID()));
        const QString prefix
                = root + QStringLiteral(".runtimes/") + hex.left(2) + QLatin1Char('/') + hex + QLatin1Char('.');
        entry.files << runtime_file << runtime_file + QStringLiteral(".meta");
        prefixes << prefix << prefix;
    }
    entry.files << file + QLatin1Char('.') + QLatin1String(as::ASSET_EXTENSION);
    prefixes << QString();

    QStringList problems;
    for (int i = 0; i < entry.files.size(); ++i) {
        const QString why = refusal(resolver, entry.files[i], root, canonical_root, prefixes[i]);
        if (!why.isEmpty()) {
            problems << QLatin1Char('"') + entry.files[i] + QStringLiteral("\" of \"") + entry.relative
                            + QStringLiteral("\" is not deleted: ") + why;
        }
    }
    return problems;
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

bool present(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A hidden name in the folder of path that nothing has: where a file waits
// between being moved aside and deleted. Short, whatever the file's name.
QString asideName(const QString &path)
{
    static std::atomic<quint64> counter{0};
    const QString folder = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    for (;;) {
        const QString candidate = folder
                + QStringLiteral(".removing-%1-%2").arg(QCoreApplication::applicationPid()).arg(counter.fetch_add(1));
        if (!present(candidate))
            return candidate;
    }
}

// Renames a file, or a link itself, within its folder. Never replaces a
// file: false when to exists.
bool renameFile(const QString &from, const QString &to, QString *error)
{
    if (present(to)) {
        *error = QStringLiteral("\"") + to + QStringLiteral("\" exists");
        return false;
    }
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

// The check of remove() for every asset named (each once), all or nothing:
// fills doomed with the assets' files and returns whether all may go. Each
// problem is logged.
bool checkEveryAsset(const AssetManagerPrivate &manager, const Velmora::Vector<Velmora::UGUID> &guids,
                     const QString &root, const QString &canonical_root, QVector<Doomed> &doomed)
{
    doomed.reserve(guids.size());
    QSet<Velmora::UGUID> seen;
    bool refused = false;
    Resolver resolver;
    for (const Velmora::UGUID &guid : guids) {
        if (seen.contains(guid))
            continue;
        seen.insert(guid);
        Doomed entry;
        const QStringList problems = problemsOf(manager, resolver, guid, root, canonical_root, entry);
        for (const QString &problem : problems)
            Velmora::Log::warning("Asset manager: %s; nothing is removed\n", qUtf8Printable(problem));
        refused = refused || !problems.isEmpty();
        doomed.append(entry);
    }
    return !refused;
}

// What stands in the way of deleting the asset's files; empty when nothing.
QString obstaclesTo(const Doomed &entry)
{
    QStringList obstacles;
    for (const QString &file : entry.files) {
        const QString why = obstacle(file);
        if (!why.isEmpty())
            obstacles << QStringLiteral("cannot delete \"") + file + QStringLiteral("\": ") + why;
    }
    return obstacles.join(QStringLiteral("; "));
}

// Moves the asset's files aside under hidden names, listed in aside; empty
// when all are. When one cannot be moved (or fault says so), those moved go
// back, and the text says why (and which could not be put back).
QString moveAside(const Doomed &entry, const std::function<bool(const QString &file)> &fault,
                  QVector<QPair<QString, QString>> &aside)
{
    QString failed;
    for (const QString &file : entry.files) {
        if (!present(file))
            continue;
        const QString hidden = asideName(file);
        QString error;
        if (fault && fault(file))
            error = QStringLiteral("the file system reported an error");
        else if (renameFile(file, hidden, &error))
            aside.append(qMakePair(file, hidden));
        if (!error.isEmpty()) {
            failed = QStringLiteral("cannot delete \"") + file + QStringLiteral("\": it cannot be moved aside (")
                    + error + QLatin1Char(')');
            break;
        }
    }
    if (!failed.isEmpty()) {
        for (int i = aside.size() - 1; i >= 0; --i) {
            QString error;
            if (!renameFile(aside[i].second, aside[i].first, &error)) {
                Velmora::Log::error("Asset manager: \"%s\" could not be put back; it is kept as \"%s\" (%s)\n",
                                    qUtf8Printable(aside[i].first), qUtf8Printable(aside[i].second),
                                    qUtf8Printable(error));
                failed += QStringLiteral("; \"") + aside[i].first + QStringLiteral("\" is kept as \"") + aside[i].second
                        + QLatin1Char('"');
            }
        }
    }
    return failed;
}

// Deletes the files moved aside; one that cannot be deleted stays under its
// hidden name (logged), which no scan takes for an asset.
void deleteMovedAside(const Doomed &entry, const QVector<QPair<QString, QString>> &aside)
{
    for (const auto &file : aside) {
        if (::unlink(QFile::encodeName(file.second).constData()) != 0) {
            Velmora::Log::warning("Asset manager: \"%s\" of the removed \"%s\" could not be deleted and is left "
                                  "as \"%s\" (%s)\n",
                                  qUtf8Printable(file.first), qUtf8Printable(entry.relative),
                                  qUtf8Printable(file.second), std::strerror(errno));
        }
    }
}

} // namespace

QHash<Velmora::UGUID, QString> AssetManagerPrivate::removalRefusals(const Velmora::Vector<Velmora::UGUID> &guids) const
{
    QHash<Velmora::UGUID, QString> refused;
    const QString root = rootPath();
    const QString canonical_root = root.isEmpty() ? QString() : QFileInfo(root).canonicalFilePath();
    Resolver resolver;
    for (const Velmora::UGUID &guid : guids) {
        if (canonical_root.isEmpty()) {
            refused.insert(guid, QStringLiteral("there is no data folder"));
            continue;
        }
        Doomed entry;
        const QStringList problems = problemsOf(*this, resolver, guid, root, canonical_root, entry);
        if (!problems.isEmpty())
            refused.insert(guid, problems.join(QStringLiteral("; ")));
    }
    return refused;
}

bool AssetManagerPrivate::remove(const Velmora::Vector<Velmora::UGUID> &guids, QVector<RemovalFailure> *failures)
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
    if (!checkEveryAsset(*this, guids, root, canonical_root, doomed))
        return false;

    // Delete, each asset all or nothing: its files are moved aside first;
    // when one cannot be, those moved go back and the asset stays whole.
    // Once all are aside, the asset is gone; a file that then cannot be
    // deleted stays under its hidden name (logged), which no scan takes
    // for an asset.
    auto keep = [failures](const Doomed &entry, const QString &why) {
        Velmora::Log::warning("Asset manager: %s; \"%s\" stays an asset\n", qUtf8Printable(why),
                              qUtf8Printable(entry.relative));
        if (failures)
            failures->append(RemovalFailure{entry.guid, why});
    };
    Velmora::Vector<Velmora::UGUID> gone;
    for (const Doomed &entry : qAsConst(doomed)) {
        const QString obstacles = obstaclesTo(entry);
        if (!obstacles.isEmpty()) {
            keep(entry, obstacles);
            continue;
        }
        QVector<QPair<QString, QString>> aside; // (file, its hidden name)
        const QString failed = moveAside(entry, removal_fault_, aside);
        if (!failed.isEmpty()) {
            keep(entry, failed);
            continue;
        }
        deleteMovedAside(entry, aside);
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
