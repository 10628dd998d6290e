// The asset manager's records and the queries over them, and its life from
// construction to shutdown.

#include "editor_core/editor/AssetManagerPrivate.h"

#include "AssetManagerPrivateIndex.h"

#include "editor_core/AssetType.h"
#include "editor_core/as/AssetTypes.h"
#include "editor_core/as/PrepareActionLandscape.h"

#include <velmora/Engine.h>
#include <velmora/Log.h>
#include <velmora/MetaScan.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <numeric>

namespace Editor {

using asset_records::cleanFolder;
using asset_records::folderKey;

namespace {

QString storedRuntimePath(const QString &root, const as::Runtime &runtime)
{
    const QString hex = QString::fromLatin1(runtime.getGUID().getString().get());
    return root + QStringLiteral(".runtimes/") + hex.left(2) + QLatin1Char('/') + hex + QLatin1Char('.')
            + runtime.getExtension();
}

bool pathLess(const as::Asset &a, const as::Asset &b)
{
    return QString::compare(a.getRelativePath(), b.getRelativePath(), Qt::CaseSensitive) < 0;
}

} // namespace

AssetManagerPrivate::AssetManagerPrivate(QObject *parent)
    : QObject(parent)
    , index_(new Index)
{
    // The engine starts on this (the GUI) thread: its read of the data
    // folder starts the records of the first scan at once.
    read_listener_ = Velmora::MetaScan::addReadListener(
            [this](const std::shared_ptr<const Velmora::MetaScan> &scan) { prepare(scan); });
}

AssetManagerPrivate::~AssetManagerPrivate()
{
    Velmora::MetaScan::removeReadListener(read_listener_);
    stopScan();
    prepared_.reset();
    joinReleasing();
}

void AssetManagerPrivate::setRootPath(const QString &path)
{
    root_override_ = cleanFolder(path);
}

QString AssetManagerPrivate::currentRoot() const
{
    if (Velmora::Engine *engine = Velmora::Engine::get())
        return cleanFolder(QString::fromUtf8(engine->getDataPath().get()));
    return root_override_;
}

QString AssetManagerPrivate::rootPath() const
{
    {
        QReadLocker locker(&lock_);
        if (!index_->root.isEmpty())
            return index_->root;
    }
    return currentRoot();
}

void AssetManagerPrivate::shutdown()
{
    ++generation_; // drops every result not delivered yet
    stopScan();
    prepared_.reset();
    joinReleasing();
    {
        QWriteLocker locker(&lock_);
        index_.reset(new Index);
        ++revision_;
    }
    prepare_actions_.clear();
    initialized_ = false;
    initial_pending_ = false;
    pipeline_open_ = false;
}

void AssetManagerPrivate::activate()
{
    active_ = true;
}

void AssetManagerPrivate::deactivate()
{
    active_ = false;
}

bool AssetManagerPrivate::isActive() const
{
    return active_;
}

void AssetManagerPrivate::addPrepareAction(as::PrepareActionLandscape *action)
{
    if (action)
        prepare_actions_.emplace_back(action);
}

int AssetManagerPrivate::getNumPrepareActions() const
{
    return int(prepare_actions_.size());
}

Velmora::Vector<as::Asset> AssetManagerPrivate::assets() const
{
    QReadLocker locker(&lock_);
    Velmora::Vector<as::Asset> result;
    result.reserve(index_->assets.size());
    for (int i : index_->pathOrder())
        result.append(index_->assets.at(i));
    return result;
}

QVector<as::Asset> AssetManagerPrivate::assetList() const
{
    QReadLocker locker(&lock_);
    // Mostly no import has appended records: the list is in path order.
    if (index_->sorted >= index_->assets.size())
        return index_->assets;
    QVector<as::Asset> result;
    result.reserve(index_->assets.size());
    for (int i : index_->pathOrder())
        result.append(index_->assets.at(i));
    return result;
}

void AssetManagerPrivate::forEachAsset(const std::function<void(const as::Asset &)> &visit) const
{
    QReadLocker locker(&lock_);
    const int count = index_->assets.size();
    // Mostly no import has appended records: the records are in path order
    // as they are.
    const bool in_order = index_->sorted >= count;
    const QVector<int> order = in_order ? QVector<int>() : index_->pathOrder();
    auto position = [in_order, &order](int k) { return in_order ? k : order[k]; };
    const as::Asset *assets = index_->assets.constData();
    // Visitors mostly read the records and their paths (and copy the
    // paths), which lie anywhere in memory: the records some way ahead and
    // the paths of those a few records ahead are asked for early.
    constexpr int AHEAD = 8;
    for (int k = 0; k < count; ++k) {
        if (k + 2 * AHEAD < count) {
            const char *record = reinterpret_cast<const char *>(assets + position(k + 2 * AHEAD));
            __builtin_prefetch(record);
            __builtin_prefetch(record + sizeof(as::Asset) - 1);
        }
        if (k + AHEAD < count) {
            // Its header (the reference count, to be written) and the text
            // after it, as far as most paths go: without reading the header
            // (data_ptr only hands out the pointer to it).
            QString &path = const_cast<QString &>(assets[position(k + AHEAD)].getRelativePath());
            const char *header = reinterpret_cast<const char *>(path.data_ptr());
            __builtin_prefetch(header, 1);
            __builtin_prefetch(header + 64);
        }
        visit(assets[position(k)]);
    }
}

Velmora::Vector<Velmora::UGUID> AssetManagerPrivate::assets(const QString &folder) const
{
    QReadLocker locker(&lock_);
    QString key = QDir::fromNativeSeparators(folder);
    if (QDir::isRelativePath(key))
        key = index_->root + key;
    Velmora::Vector<Velmora::UGUID> result;
    const QVector<int> indices = index_->by_folder.value(folderKey(key));
    for (int i : indices)
        result.append(index_->assets.at(i).getGUID());
    return result;
}

as::Asset AssetManagerPrivate::asset(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    const as::Asset *found = index_->find(guid);
    return found ? *found : as::Asset();
}

as::Asset AssetManagerPrivate::asset(const QString &path) const
{
    QReadLocker locker(&lock_);
    QString relative = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (!QDir::isRelativePath(relative)) {
        if (index_->root.isEmpty() || !relative.startsWith(index_->root))
            return as::Asset();
        relative = relative.mid(index_->root.size());
    }
    const int *i = index_->pathPosition(relative);
    return i ? index_->assets.at(*i) : as::Asset();
}

bool AssetManagerPrivate::hasAsset(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    return index_->assetPosition(guid) != nullptr;
}

bool AssetManagerPrivate::hasRuntime(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    return index_->runtimePosition(guid) != nullptr;
}

as::Runtime AssetManagerPrivate::runtime(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    const as::Runtime *found = index_->findRuntime(guid);
    return found ? *found : as::Runtime();
}

as::Asset AssetManagerPrivate::assetByRuntimeGUID(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    const QPair<int, int> *at = index_->runtimePosition(guid);
    return at ? index_->assets.at(at->first) : as::Asset();
}

Velmora::UGUID AssetManagerPrivate::assetGUIDByRuntimeGUID(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    const QPair<int, int> *at = index_->runtimePosition(guid);
    return at ? index_->assets.at(at->first).getGUID() : Velmora::UGUID();
}

int AssetManagerPrivate::assetType(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    const as::Asset *found = index_->find(guid);
    return found ? int(found->getType()) : int(AssetType::BEGIN);
}

QString AssetManagerPrivate::filePath(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    if (const as::Asset *found = index_->find(guid))
        return found->getFilePath();
    const as::Runtime *runtime = index_->findRuntime(guid);
    if (runtime && runtime->isStored())
        return storedRuntimePath(index_->root, *runtime);
    return QString();
}

QString AssetManagerPrivate::filePath(const as::Asset &asset) const
{
    return asset.isNull() ? QString() : filePath(asset.getGUID());
}

QString AssetManagerPrivate::fileName(const Velmora::UGUID &guid) const
{
    const QString path = filePath(guid);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

as::FileInfo AssetManagerPrivate::fileInfo(const Velmora::UGUID &guid) const
{
    const QString path = filePath(guid);
    if (path.isEmpty())
        return as::FileInfo();
    bool core = false;
    {
        QReadLocker locker(&lock_);
        if (const QPair<int, int> *at = index_->runtimePosition(guid))
            core = index_->assets.at(at->first).isCore();
    }
    const QFileInfo info(path);
    unsigned char flags = 0;
    if (info.isFile())
        flags |= as::FileInfo::FLAG_IN_DATA;
    // Read-only is the file's own permission bits, so that the answer does
    // not depend on who runs the editor (root may write anything).
    const QFile::Permissions write_bits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (core || (info.isFile() && !(info.permissions() & write_bits)))
        flags |= as::FileInfo::FLAG_READ_ONLY;
    return as::FileInfo(path, flags);
}

int AssetManagerPrivate::getNumAssets() const
{
    QReadLocker locker(&lock_);
    return index_->assets.size();
}

bool AssetManagerPrivate::createDir(const QString &parent, const QString &name)
{
    const QString root = rootPath();
    QString target = QDir::cleanPath(QDir::fromNativeSeparators(parent));
    if (QDir::isRelativePath(target))
        target = root + target;
    if (!name.isEmpty()) {
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name == QLatin1String("..")
            || name == QLatin1String(".")) {
            Velmora::Log::warning("Asset manager: \"%s\" is not a folder name\n", qUtf8Printable(name));
            return false;
        }
        target += QLatin1Char('/') + name;
    }
    target = QDir::cleanPath(target);
    if (root.isEmpty() || !(target + QLatin1Char('/')).startsWith(root)) {
        Velmora::Log::warning("Asset manager: \"%s\" is outside the data folder; no folder is made\n",
                              qUtf8Printable(target));
        return false;
    }
    if (QDir().mkpath(target))
        return true;
    Velmora::Log::warning("Asset manager: cannot make the folder \"%s\"\n", qUtf8Printable(target));
    return false;
}

void AssetManagerPrivate::eraseRecords(const QSet<Velmora::UGUID> &guids)
{
    QWriteLocker locker(&lock_);
    QVector<as::Asset> kept;
    kept.reserve(index_->assets.size());
    for (int i : index_->pathOrder()) {
        if (!guids.contains(index_->assets.at(i).getGUID()))
            kept.append(index_->assets.at(i));
    }
    index_->assets.swap(kept);
    index_->build();
    ++revision_;
}

// Costs O(1) for the path, GUID and runtime maps and a binary search in the
// record's folder, whatever the number of assets, so that a long run of
// imports (captured frames) does not index the whole project per file.
void AssetManagerPrivate::Index::insert(const as::Asset &record)
{
    if (const int *known = pathPosition(record.getRelativePath())) {
        const int i = *known;
        const as::Asset &old = assets[i];
        for (int r = 0; r < old.getNumRuntimes(); ++r) {
            const Velmora::UGUID &guid = old.getRuntime(r).getGUID();
            runtimes.remove(qHash(guid), sameRuntime(guid), [i](const QPair<int, int> &at) { return at.first != i; });
        }
        if (old.getGUID() != record.getGUID()) {
            const Velmora::UGUID old_guid = old.getGUID();
            by_guid.remove(qHash(old_guid), sameAsset(old_guid));
            // Set before the record changes: no other position has this
            // key, and the position gets it at once.
            setAsset(record.getGUID(), i);
        }
        assets[i] = record;
        for (int r = 0; r < record.getNumRuntimes(); ++r)
            setRuntime(record.getRuntime(r).getGUID(), i, r);
        return;
    }
    const int i = assets.size();
    assets.append(record);
    setAsset(record.getGUID(), i);
    setPath(record.getRelativePath(), i);
    for (int r = 0; r < record.getNumRuntimes(); ++r)
        setRuntime(record.getRuntime(r).getGUID(), i, r);
    const int slash = record.getFilePath().lastIndexOf(QLatin1Char('/'));
    QVector<int> &folder = by_folder[folderKey(record.getFilePath().left(slash))];
    folder.insert(std::lower_bound(folder.begin(), folder.end(), i,
                                   [this](int a, int b) { return pathLess(assets[a], assets[b]); }),
                  i);
}

QVector<int> AssetManagerPrivate::Index::pathOrder() const
{
    const int count = assets.size();
    const int prefix = qBound(0, sorted, count);
    QVector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    if (prefix == count)
        return order;
    // The appended records are few next to the sorted ones: sort them and
    // merge them in.
    auto less = [this](int a, int b) { return pathLess(assets[a], assets[b]); };
    std::sort(order.begin() + prefix, order.end(), less);
    std::inplace_merge(order.begin(), order.begin() + prefix, order.end(), less);
    return order;
}

QVector<as::DuplicateGuid> AssetManagerPrivate::duplicates() const
{
    QReadLocker locker(&lock_);
    return index_->duplicates;
}

QStringList AssetManagerPrivate::leftOutFiles(const Velmora::UGUID &guid) const
{
    QReadLocker locker(&lock_);
    const as::Asset *asset = index_->find(guid);
    if (!asset)
        return QStringList();
    QStringList result;
    for (const QString &relative : index_->left_out.value(asset->getRelativePath()))
        result << index_->root + relative;
    return result;
}

} // namespace Editor
