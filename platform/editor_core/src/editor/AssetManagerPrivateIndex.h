// The asset manager's records and the lookups over them, shared by the
// files that scan, query and import assets.
#pragma once

#include "editor_core/editor/AssetManagerPrivate.h"

#include "editor_core/as/GuidClaims.h"
#include "editor_core/as/IndexTable.h"

#include "../base/ThreadKit.h"

#include <velmora/Log.h>
#include <velmora/LogHold.h>

#include <QDir>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <utility>
#include <vector>

namespace Velmora {
struct MetaScan;
}

namespace Editor {

namespace asset_records {

inline QString cleanFolder(const QString &path)
{
    QString result = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

inline QString folderKey(const QString &absolute_folder)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(absolute_folder));
}

// Size and modification time of an asset file, as a scan saw it: a later
// scan that sees other values reports the asset changed.
struct FileStamp
{
    qint64 size = -1;
    qint64 modified = 0; // nanoseconds

    bool operator==(const FileStamp &other) const { return size == other.size && modified == other.modified; }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

// The stamps of a scan's records, sorted by GUID: 40 bytes an asset, and
// no path is kept.
class FileStamps
{
public:
    // The stamps of the records' files (root: the data folder, ending with
    // "/"); a large project's on several threads. Empty when cancelled.
    static FileStamps of(const QString &root, const QVector<as::Asset> &assets, const std::atomic<bool> &cancel);
    // The same, made on a thread of its own while the caller goes on: the
    // first scan's stamps are only needed by the next scan, so the start-up
    // does not wait for them. The thread holds its own copy of the list.
    static FileStamps later(const QString &root, const QVector<as::Asset> &assets);

    // Null when the GUID has no stamp. Waits for stamps still being made.
    // One thread at a time (the GUI thread).
    const FileStamp *find(const Velmora::UGUID &guid) const
    {
        if (pending_.valid()) {
            entries_ = pending_.get();
            pending_ = {};
        }
        const auto it
                = std::lower_bound(entries_.begin(), entries_.end(), guid,
                                   [](const Entry &entry, const Velmora::UGUID &key) { return entry.first < key; });
        return it != entries_.end() && it->first == guid ? &it->second : nullptr;
    }

    void swap(FileStamps &other)
    {
        entries_.swap(other.entries_);
        std::swap(pending_, other.pending_);
    }

private:
    using Entry = std::pair<Velmora::UGUID, FileStamp>;
    static std::vector<Entry> make(const QString &root, const QVector<as::Asset> &assets,
                                   const std::atomic<bool> &cancel);

    mutable std::vector<Entry> entries_;
    mutable std::shared_future<std::vector<Entry>> pending_;
};

// Reads one meta file into an asset record; false (with one warning) when
// the file is not an asset.
bool readMeta(const QString &root, const QString &relative, as::Asset &asset);

} // namespace asset_records

struct AssetManagerPrivate::Index
{
    QString root;
    // assets[0, sorted) are in data-relative path order; the records an
    // import adds later are appended after them, so that no index moves.
    QVector<as::Asset> assets;
    int sorted = 0;
    // The lookups hold positions in assets only: their keys are read from
    // the records (see the key helpers below).
    // asset GUID -> asset index
    as::IndexTable<int> by_guid;
    // data-relative path -> asset index
    as::IndexTable<int> by_path;
    // runtime GUID -> (asset index, runtime index)
    as::IndexTable<QPair<int, int>> runtimes;
    QHash<QString, QVector<int>> by_folder;
    QVector<as::DuplicateGuid> duplicates;
    // kept data-relative path -> data-relative paths left out for it
    QHash<QString, QStringList> left_out;
    // The stamps of the files as the scan that made the records saw them
    // (GUI thread only; imports and removals leave them alone).
    asset_records::FileStamps stamps;

    // Indexes every record; assets must be in path order. runtimes_made:
    // the lookup by runtime GUID is made already (see claim); positions_made:
    // so are the lookups by asset GUID, by path and by folder (see
    // indexGuids, indexPaths and FolderRuns).
    void build(bool runtimes_made = false, bool positions_made = false)
    {
        sorted = assets.size();
        left_out.clear();
        for (const as::DuplicateGuid &duplicate : qAsConst(duplicates))
            left_out[duplicate.kept].append(duplicate.left_out);
        if (positions_made)
            return;
        by_guid.clear();
        if (!runtimes_made)
            runtimes.clear();
        by_path.clear();
        by_folder.clear();
        const int count = assets.size();
        auto guids = [this, count, runtimes_made] {
            by_guid.reserve(count);
            indexGuids(0, count);
            if (runtimes_made)
                return;
            runtimes.reserve(count);
            const QVector<as::Asset> &all = assets;
            for (int i = 0; i < count; ++i) {
                const as::Asset &asset = all[i];
                for (int r = 0; r < asset.getNumRuntimes(); ++r)
                    setRuntime(asset.getRuntime(r).getGUID(), i, r);
            }
        };
        auto paths = [this, count] {
            by_path.reserve(count);
            indexPaths(0, count);
        };
        auto folders = [this, count] {
            FolderRuns runs;
            for (int i = 0; i < count; ++i)
                runs.add(*this, i);
            runs.flush(*this);
        };
        // The lookups are independent of each other: for a large project
        // each is made on a thread of its own.
        if (count < PARALLEL_FROM) {
            guids();
            paths();
            folders();
            return;
        }
        core_internal::ThreadGroup threads;
        if (!threads.start(guids))
            guids();
        if (!threads.start(paths))
            paths();
        folders();
        threads.join();
    }
    // From this many records on, the lookups are made on several threads.
    static constexpr int PARALLEL_FROM = 10000;

    // Sets the positions of records begin..end in the lookups by asset GUID
    // and by path. Only const access: other threads may meanwhile write
    // later records.
    void indexGuids(int begin, int end)
    {
        const QVector<as::Asset> &all = assets;
        for (int i = begin; i < end; ++i)
            setAsset(all[i].getGUID(), i);
    }
    void indexPaths(int begin, int end)
    {
        const QVector<as::Asset> &all = assets;
        for (int i = begin; i < end; ++i)
            setPath(all[i].getRelativePath(), i);
    }

    // Adds records to the lookup by folder, one after the other in path
    // order. The assets of a folder mostly follow each other, and its key is
    // made once for each run (from the first record's absolute path: the
    // others' are not made here).
    struct FolderRuns
    {
        QString folder;
        QStringRef relative;
        std::vector<int> run;

        void add(Index &index, int i)
        {
            const as::Asset &asset = static_cast<const QVector<as::Asset> &>(index.assets)[i];
            const QString &path = asset.getRelativePath();
            const QStringRef relative_folder = path.leftRef(std::max(0, path.lastIndexOf(QLatin1Char('/'))));
            if (run.empty() || relative_folder != relative) {
                const QString &file = asset.getFilePath();
                const QStringRef file_folder = file.leftRef(file.lastIndexOf(QLatin1Char('/')));
                if (run.empty() || file_folder != folder) {
                    flush(index);
                    folder = file_folder.toString();
                }
                relative = relative_folder;
            }
            run.push_back(i);
        }
        void flush(Index &index)
        {
            if (run.empty())
                return;
            // Sized to fit: a large project has many folders.
            QVector<int> &target = index.by_folder[asset_records::folderKey(folder)];
            target.reserve(target.size() + int(run.size()));
            for (const int i : run)
                target.append(i);
            run.clear();
        }
    };

    // The key helpers. A position is set for the key its record has (or is
    // about to have, see insert).
    auto sameAsset(const Velmora::UGUID &guid) const
    {
        return [this, &guid](int i) { return assets[i].getGUID() == guid; };
    }
    auto samePath(const QString &relative) const
    {
        return [this, &relative](int i) { return assets[i].getRelativePath() == relative; };
    }
    auto sameRuntime(const Velmora::UGUID &guid) const
    {
        return [this, &guid](const QPair<int, int> &at) {
            return assets[at.first].getRuntime(at.second).getGUID() == guid;
        };
    }
    const int *assetPosition(const Velmora::UGUID &guid) const { return by_guid.find(qHash(guid), sameAsset(guid)); }
    const int *pathPosition(const QString &relative) const { return by_path.find(qHash(relative), samePath(relative)); }
    const QPair<int, int> *runtimePosition(const Velmora::UGUID &guid) const
    {
        return runtimes.find(qHash(guid), sameRuntime(guid));
    }
    void setAsset(const Velmora::UGUID &guid, int i) { by_guid.insert(qHash(guid), sameAsset(guid), i); }
    void setPath(const QString &relative, int i) { by_path.insert(qHash(relative), samePath(relative), i); }
    void setRuntime(const Velmora::UGUID &guid, int i, int r)
    {
        runtimes.insert(qHash(guid), sameRuntime(guid), qMakePair(i, r));
    }

    // Claims the GUIDs of assets[index] (the last record so far) as
    // as::GuidClaims does, in the lookup by runtime GUID itself (which
    // holds every asset's GUID as its primary runtime's): true when all are
    // free, else the clash is recorded and logged and nothing is claimed.
    // The lookup by asset GUID is left to build (or to a thread that
    // follows the claims, see compute).
    bool claim(int index)
    {
        const as::Asset &asset = assets[index];
        // Most assets have their primary runtime only: looked up and
        // claimed at once (its GUID is the asset's).
        if (asset.getNumRuntimes() == 1) {
            const Velmora::UGUID &guid = asset.getGUID();
            if (runtimes.insertNew(qHash(guid), sameRuntime(guid), qMakePair(index, 0)))
                return true;
        }
        // Each runtime is claimed in one walk over the lookup; a GUID that
        // another asset has takes back what this one claimed. A GUID the
        // asset lists twice goes to its later runtime.
        const int count = asset.getNumRuntimes();
        for (int r = 0; r < count; ++r) {
            const Velmora::UGUID &guid = asset.getRuntime(r).getGUID();
            if (runtimes.insertNew(qHash(guid), sameRuntime(guid), qMakePair(index, r)))
                continue;
            const QPair<int, int> owner = *runtimePosition(guid);
            if (owner.first == index) {
                setRuntime(guid, index, r);
                continue;
            }
            for (int taken = 0; taken < r; ++taken) {
                const Velmora::UGUID &claimed = asset.getRuntime(taken).getGUID();
                runtimes.remove(qHash(claimed), sameRuntime(claimed),
                                [index](const QPair<int, int> &at) { return at.first != index; });
            }
            const as::DuplicateGuid duplicate{guid, assets[owner.first].getRelativePath(), asset.getRelativePath()};
            duplicates.append(duplicate);
            Velmora::Log::warning("Asset manager: %s\n", qUtf8Printable(as::GuidClaims::describe(duplicate)));
            return false;
        }
        return true;
    }

    // Asks for what claim(index) reads, to be at hand when it runs: the
    // record, its runtimes and its GUID's slot in the lookup by runtime
    // GUID. The record has to be made already (prefetchRecord: the record
    // only, which needs nothing made).
    void prefetchRecord(int index) const
    {
        const char *record = reinterpret_cast<const char *>(assets.constData() + index);
        __builtin_prefetch(record);
        __builtin_prefetch(record + sizeof(as::Asset) - 1);
    }
    void prefetchClaim(int index) const
    {
        const as::Asset &asset = assets.constData()[index];
        __builtin_prefetch(&asset.getRuntimes());
        runtimes.prefetch(qHash(asset.getGUID()));
    }

    const as::Asset *find(const Velmora::UGUID &guid) const
    {
        const int *i = assetPosition(guid);
        return i ? &assets[*i] : nullptr;
    }

    const as::Runtime *findRuntime(const Velmora::UGUID &guid) const
    {
        const QPair<int, int> *at = runtimePosition(guid);
        return at ? &assets[at->first].getRuntime(at->second) : nullptr;
    }

    // An import's record: a new path is appended and indexed, a known path
    // replaces its record in place.
    void insert(const as::Asset &record);
    // Indices of assets in path order.
    QVector<int> pathOrder() const;
};

struct AssetManagerPrivate::ScanResult
{
    bool root_exists = false;
    Index index;
    QVector<as::Asset> failed;
    // Everything the scan logged, in order, to be written when the scan is
    // taken.
    Velmora::LogHold::Lines log;

    // Tells how far a scan is: the per cent of its files whose records are
    // made, each new value once, rising, on the thread that runs compute.
    using Progress = std::function<void(int percent)>;

    // Scans root: from the engine's read when there is one (current), else
    // by listing the folder. Null when cancelled. read_done (when set) runs
    // once every record here is made from the read's records, which are then
    // no longer needed (not when cancelled).
    static std::shared_ptr<ScanResult> compute(const QString &root,
                                               const std::shared_ptr<const Velmora::MetaScan> &engine_scan,
                                               const std::atomic<bool> &cancel,
                                               const std::function<void()> &read_done = nullptr,
                                               const Progress &progress = nullptr);

private:
    // The phases of compute and what they share.
    struct Making;
};

} // namespace Editor
