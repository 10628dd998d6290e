#include "editor_core/editor/AssetManagerPrivate.h"

#include "editor_core/AssetType.h"
#include "editor_core/as/AssetTypes.h"
#include "editor_core/as/FileNames.h"
#include "editor_core/as/GuidClaims.h"
#include "editor_core/as/ImportParams.h"
#include "editor_core/as/IndexTable.h"
#include "editor_core/as/PrepareActionLandscape.h"

#include <velmora/Engine.h>
#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/LogHold.h>
#include <velmora/MetaScan.h>
#include <velmora/Xml.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QThread>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

namespace Editor {

namespace {

const char *const SCAN_TEXT = "Scanning assets";

QString cleanFolder(const QString &path)
{
    QString result = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

QString folderKey(const QString &absolute_folder)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(absolute_folder));
}

QString storedRuntimePath(const QString &root, const as::Runtime &runtime)
{
    const QString hex = QString::fromLatin1(runtime.getGUID().getString().get());
    return root + QStringLiteral(".runtimes/") + hex.left(2) + QLatin1Char('/') + hex + QLatin1Char('.')
            + runtime.getExtension();
}

// Lists every visible file below root (hidden files and folders skipped,
// meta files left out) as data-relative paths. Entries whose names are not
// valid UTF-8 cannot be listed; they go to unreadable, escaped.
void listFiles(const QString &root, const QString &relative, std::vector<QString> &out, QStringList &unreadable,
               const std::atomic<bool> &cancel)
{
    if (cancel)
        return;
    for (const QString &name : as::nonUtf8EntryNames(root + relative))
        unreadable << relative + name;
    QDir dir(root + relative);
    const QFileInfoList entries
            = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QString path = relative + name;
        if (entry.isDir())
            listFiles(root, path + QLatin1Char('/'), out, unreadable, cancel);
        else if (!name.endsWith(QLatin1String(".meta")))
            out.push_back(path);
    }
}

// Room for the primary and stored runtimes of records listing this many
// stored ones (the few virtual ones of materials and properties mostly fit
// in the table's spare room): a large table grown while claiming is the
// slowest step of a scan.
int runtimeRoom(size_t records, size_t stored)
{
    return int(records) + int(std::min<size_t>(stored, size_t(INT_MAX / 2)));
}

// Data-relative paths in the records' order (case-sensitive, as QString
// compares them).
bool relativeLess(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

bool isValidUtf8Path(std::string_view path)
{
    for (const char c : path)
        if (static_cast<unsigned char>(c) >= 0x80)
            return as::isValidUtf8(QByteArray(path.data(), int(path.size())));
    return true;
}

// The names, in visible folders with readable names, that are not valid
// UTF-8: folder by folder (by bytes), each folder's names escaped and
// sorted.
QStringList unreadableNames(const Velmora::MetaScan &scan)
{
    std::vector<std::pair<std::string, QString>> found; // folder, escaped name
    for (const std::string &path : scan.non_ascii_names) {
        const size_t slash = path.rfind('/');
        const std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        const QByteArray name = QByteArray::fromStdString(path.substr(parent.size()));
        const QByteArray folder = QByteArray::fromStdString(parent);
        if (as::isValidUtf8(name) || folder.startsWith('.') || folder.contains("/.") || !isValidUtf8Path(parent))
            continue;
        found.emplace_back(parent, as::escapeFileNameBytes(name));
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : QString::compare(a.second, b.second, Qt::CaseSensitive) < 0;
    });
    QStringList result;
    for (const auto &entry : found)
        result << QString::fromStdString(entry.first) + entry.second;
    return result;
}

// Work done in steps, each step in runs that the thread doing the work and
// its helpers take in turn, as many helpers as get to run: a step ends when
// its last run is done, and never waits for a helper that has not started
// (one that starts late finds nothing left). The helpers are joined when
// this goes.
class RunSteps
{
public:
    RunSteps() = default;
    RunSteps(const RunSteps &) = delete;
    RunSteps &operator=(const RunSteps &) = delete;
    ~RunSteps()
    {
        {
            std::lock_guard<std::mutex> locker(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
        for (std::thread &helper : helpers_)
            if (helper.joinable())
                helper.join();
    }

    // work(step, run) does a run of a step; up to helpers threads help.
    void start(size_t runs, size_t helpers, std::function<void(int, size_t)> work)
    {
        runs_ = runs;
        work_ = std::move(work);
        try {
            for (size_t h = 0; h < helpers; ++h)
                helpers_.emplace_back([this] {
                    for (int step = 0; step < STEPS; ++step) {
                        {
                            std::unique_lock<std::mutex> locker(mutex_);
                            changed_.wait(locker, [&] { return closed_ || open_ >= step; });
                            if (closed_)
                                return;
                        }
                        take(step);
                    }
                });
        } catch (const std::system_error &) {
            // Fewer helpers (or none): this thread does the rest.
        }
    }
    // Does a step (0, then 1) with the helpers; returns when all its runs
    // are done.
    void run(int step)
    {
        {
            std::lock_guard<std::mutex> locker(mutex_);
            open_ = step;
        }
        changed_.notify_all();
        take(step);
        std::unique_lock<std::mutex> locker(mutex_);
        changed_.wait(locker, [&] { return done_[step] == runs_; });
        if (step == STEPS - 1)
            closed_ = true; // nothing is left for the helpers
    }

private:
    static constexpr int STEPS = 2;

    void take(int step)
    {
        for (size_t run = next_[step].fetch_add(1); run < runs_; run = next_[step].fetch_add(1)) {
            work_(step, run);
            std::lock_guard<std::mutex> locker(mutex_);
            if (++done_[step] == runs_)
                changed_.notify_all();
        }
    }

    size_t runs_ = 0;
    std::function<void(int, size_t)> work_;
    std::atomic<size_t> next_[STEPS] = {};
    size_t done_[STEPS] = {}; // under mutex_
    std::mutex mutex_;
    std::condition_variable changed_;
    int open_ = -1;
    bool closed_ = false;
    std::vector<std::thread> helpers_;
};

// The records of the engine's read that can be assets (visible, no links,
// valid UTF-8 paths) and their paths, in the read's order; counted(number of
// records, number of stored runtimes they list) is told before the paths are
// made. The read is split into consecutive runs, a large one done with
// helpers (see RunSteps, which has to outlive them): the records of each run
// are counted, then written where the run starts and checked for path order
// (as sortByPath compares). Returns whether all of them are in order.
template<typename Counted>
bool listRecords(const std::vector<Velmora::MetaRecord> &metas, std::vector<QString> &files,
                 std::vector<const Velmora::MetaRecord *> &known, RunSteps &steps, Counted counted)
{
    auto listed = [](const Velmora::MetaRecord &meta) {
        return meta.visible && !meta.link && isValidUtf8Path(meta.path());
    };
    constexpr size_t RUN = 1024;
    constexpr size_t PARALLEL_FROM = 8192;
    const size_t runs = (metas.size() + RUN - 1) / RUN;
    auto first = [&](size_t run) { return run * RUN; };
    auto last = [&](size_t run) { return std::min(metas.size(), (run + 1) * RUN); };
    std::vector<size_t> starts(runs + 1, 0);
    std::vector<size_t> stored(runs, 0);
    std::vector<char> sorted(runs, 1);
    auto count = [&](size_t run) {
        size_t listed_here = 0;
        for (size_t i = first(run); i < last(run); ++i)
            if (listed(metas[i])) {
                ++listed_here;
                stored[run] += metas[i].runtimes().size();
            }
        starts[run + 1] = listed_here;
    };
    auto write = [&](size_t run) {
        size_t at = starts[run];
        for (size_t i = first(run); i < last(run); ++i) {
            const Velmora::MetaRecord &meta = metas[i];
            if (!listed(meta))
                continue;
            files[at] = QString::fromUtf8(meta.path().data(), int(meta.path().size()));
            known[at++] = &meta;
        }
        sorted[run] = std::is_sorted(files.begin() + std::ptrdiff_t(starts[run]),
                                     files.begin() + std::ptrdiff_t(starts[run + 1]), relativeLess);
    };
    const unsigned cores = std::thread::hardware_concurrency();
    const size_t helpers = metas.size() < PARALLEL_FROM ? 0 : std::min(7u, cores == 0 ? 1u : cores - 1);
    steps.start(runs, helpers, [&](int step, size_t run) { step == 0 ? count(run) : write(run); });
    steps.run(0);
    for (size_t run = 0; run < runs; ++run)
        starts[run + 1] += starts[run];
    const size_t total = starts[runs];
    counted(total, std::accumulate(stored.begin(), stored.end(), size_t(0)));
    files.resize(total);
    known.resize(total);
    steps.run(1);
    if (std::find(sorted.begin(), sorted.end(), 0) != sorted.end())
        return false;
    // Where two runs meet.
    for (size_t run = 1; run < runs; ++run)
        if (starts[run] > 0 && starts[run] < total && relativeLess(files[starts[run]], files[starts[run] - 1]))
            return false;
    return true;
}

// Sorts data-relative paths (case-sensitive, as QString compares them) and
// the records that go with them (when there are any) alike. sorted: they are
// known to be in order already.
void sortByPath(std::vector<QString> &files, std::vector<const Velmora::MetaRecord *> &known, bool sorted = false)
{
    // The engine lists by bytes, which is the same order but for rare
    // characters: mostly there is nothing to do.
    if (sorted || std::is_sorted(files.begin(), files.end(), relativeLess))
        return;
    std::vector<int> order(files.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return relativeLess(files[size_t(a)], files[size_t(b)]); });
    std::vector<QString> sorted_files;
    std::vector<const Velmora::MetaRecord *> sorted_known;
    sorted_files.reserve(files.size());
    for (int i : order) {
        sorted_files.push_back(std::move(files[size_t(i)]));
        if (!known.empty())
            sorted_known.push_back(known[size_t(i)]);
    }
    files.swap(sorted_files);
    if (!known.empty())
        known.swap(sorted_known);
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
    static FileStamps of(const QString &root, const QVector<as::Asset> &assets, const std::atomic<bool> &cancel)
    {
        constexpr int PARALLEL_FROM = 4096;
        const int count = assets.size();
        FileStamps result;
        result.entries_.resize(size_t(std::max(count, 0)));
        const QByteArray root_bytes = QFile::encodeName(root);
        auto work = [&](int part, int parts) {
            // One path buffer per thread: the records keep no absolute path.
            std::string path(root_bytes.constData(), size_t(root_bytes.size()));
            for (int i = part; i < count && !cancel; i += parts) {
                const as::Asset &asset = assets[i];
                path.resize(size_t(root_bytes.size()));
                path += QFile::encodeName(asset.getRelativePath()).constData();
                result.entries_[size_t(i)] = {asset.getGUID(), stampOf(path.c_str())};
            }
        };
        const unsigned cores = std::thread::hardware_concurrency();
        const int parts = count < PARALLEL_FROM ? 1 : int(std::min(4u, std::max(cores, 1u)));
        std::vector<std::thread> helpers;
        for (int part = 1; part < parts; ++part) {
            try {
                helpers.emplace_back(work, part, parts);
            } catch (const std::system_error &) {
                work(part, parts);
            }
        }
        work(0, parts);
        for (std::thread &helper : helpers)
            helper.join();
        if (cancel)
            return FileStamps();
        std::sort(result.entries_.begin(), result.entries_.end(),
                  [](const Entry &a, const Entry &b) { return a.first < b.first; });
        return result;
    }

    // Null when the GUID has no stamp.
    const FileStamp *find(const Velmora::UGUID &guid) const
    {
        const auto it
                = std::lower_bound(entries_.begin(), entries_.end(), guid,
                                   [](const Entry &entry, const Velmora::UGUID &key) { return entry.first < key; });
        return it != entries_.end() && it->first == guid ? &it->second : nullptr;
    }

    void swap(FileStamps &other) { entries_.swap(other.entries_); }

private:
    using Entry = std::pair<Velmora::UGUID, FileStamp>;

    static FileStamp stampOf(const char *path)
    {
        struct stat info;
        FileStamp stamp;
        if (::stat(path, &info) == 0) {
            stamp.size = qint64(info.st_size);
            stamp.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        }
        return stamp;
    }

    std::vector<Entry> entries_;
};

bool failsValidation(const as::Asset &asset)
{
    if (asset.getType() != AssetType::CS_COMPONENT)
        return false;
    QFile file(asset.getFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd()) {
        if (file.readLine().trimmed().startsWith("#error"))
            return true;
    }
    return false;
}

} // namespace

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
    FileStamps stamps;

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
        std::thread guid_thread(guids);
        std::thread path_thread(paths);
        folders();
        guid_thread.join();
        path_thread.join();
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
            QVector<int> &target = index.by_folder[folderKey(folder)];
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
};

struct AssetManagerPrivate::Prepared
{
    QString root;
    std::shared_ptr<const Velmora::MetaScan> scan;
    std::atomic<bool> cancel{false};
    std::shared_ptr<ScanResult> result;
    std::thread thread;
    // Lets go of the read's records once the records here are made (started
    // by thread, see prepare).
    std::thread releasing;

    // How far thread has made the records, for the scan that takes them
    // (see followProgress).
    std::mutex progress_mutex;
    std::condition_variable progress_changed;
    int percent = 0;
    bool finished = false;

    void setPercent(int value)
    {
        {
            std::lock_guard<std::mutex> locker(progress_mutex);
            percent = value;
        }
        progress_changed.notify_all();
    }
    void finish()
    {
        {
            std::lock_guard<std::mutex> locker(progress_mutex);
            finished = true;
        }
        progress_changed.notify_all();
    }
    // Hands each new value of percent on to report, until thread has
    // finished (or been cancelled). Values reached before the call come as
    // one, the latest.
    void followProgress(const ScanResult::Progress &report)
    {
        int reported = 0;
        std::unique_lock<std::mutex> locker(progress_mutex);
        for (;;) {
            progress_changed.wait(locker, [&] { return finished || percent != reported; });
            const int now = percent;
            const bool done = finished;
            if (now != reported) {
                reported = now;
                locker.unlock();
                report(now);
                locker.lock();
            }
            if (done)
                return;
        }
    }

    ~Prepared()
    {
        cancel = true;
        if (thread.joinable())
            thread.join();
        if (releasing.joinable())
            releasing.join();
    }
};

namespace {

// Makes an asset record from what its meta file says; false (with one
// warning) when the file is not an asset.
// relative is meta.path as text (shared with the record made).
bool assetFromMeta(const QString &root, const QString &relative, const Velmora::MetaRecord &meta, as::Asset &asset)
{
    // Named by warnings only: made when one is written.
    QString meta_path_text;
    auto metaPath = [&]() -> const QString & {
        if (meta_path_text.isEmpty())
            meta_path_text = root + relative + QLatin1Char('.') + QLatin1String(as::ASSET_EXTENSION);
        return meta_path_text;
    };
    if (!meta.loaded) {
        Velmora::Log::warning("Asset manager: the meta file \"%s\" cannot be read; \"%s\" is not an asset\n",
                              qUtf8Printable(metaPath()), qUtf8Printable(relative));
        return false;
    }
    if (meta.root() != "asset") {
        Velmora::Log::warning("Asset manager: the meta file \"%s\" has no <asset> root; \"%s\" is not an asset\n",
                              qUtf8Printable(metaPath()), qUtf8Printable(relative));
        return false;
    }
    Velmora::UGUID guid;
    if (!meta.guidValue(guid) || guid.isEmpty()) {
        Velmora::Log::warning("Asset manager: the meta file \"%s\" has a broken GUID \"%s\"; \"%s\" is not an asset\n",
                              qUtf8Printable(metaPath()), meta.guid().data(), qUtf8Printable(relative));
        return false;
    }

    AssetType type = AssetType::BEGIN;
    if (meta.has_type) {
        const int value = meta.type;
        if (value > AssetType::BEGIN && value < AssetType::SIZE)
            type = AssetType(value);
        else
            Velmora::Log::warning("Asset manager: the meta file \"%s\" has an unknown type \"%s\"; the type comes "
                                  "from the extension\n",
                                  qUtf8Printable(metaPath()), meta.typeText().data());
    }
    // The file name and its parts as QFileInfo gives them: the suffix
    // after the last ".", the base name before it.
    const int name_start = relative.lastIndexOf(QLatin1Char('/')) + 1;
    const int dot = relative.lastIndexOf(QLatin1Char('.'));
    const bool has_dot = dot >= name_start;
    if (type == AssetType::BEGIN)
        type = as::typeByExtension(has_dot ? relative.mid(dot + 1) : QString());

    asset.setGUID(guid);
    asset.setType(type);
    asset.setFilePathIn(root, relative);
    asset.setCore(relative.startsWith(QLatin1String("core/")));
    asset.setExcluded(meta.excluded != 0);

    const QString base_name = relative.mid(name_start, (has_dot ? dot : relative.size()) - name_start);
    const bool has_virtual = type == AssetType::MATERIAL || type == AssetType::PROPERTY;
    Velmora::Vector<as::Runtime> runtimes;
    // Sized for every runtime there may be: the record keeps this very list.
    runtimes.reserve(1 + int(meta.runtimes().size()) + (has_virtual ? 1 : 0));
    runtimes.append(as::Runtime(guid, base_name, as::Runtime::KIND_PRIMARY, guid, false));

    QVariantMap params;
    as::Mappers mappers;
    for (const Velmora::MetaRuntime &stored : meta.runtimes()) {
        Velmora::UGUID runtime_guid;
        if (!runtime_guid.setString(stored.guid.c_str()) || runtime_guid.isEmpty()) {
            Velmora::Log::warning("Asset manager: a runtime of \"%s\" has a broken GUID \"%s\"; it is left out\n",
                                  qUtf8Printable(metaPath()), stored.guid.c_str());
            continue;
        }
        // Materials and properties never have stored runtimes.
        if (type == AssetType::MATERIAL || type == AssetType::PROPERTY) {
            Velmora::Log::warning("Asset manager: \"%s\" lists a stored runtime, which a %s cannot have; it is "
                                  "left out\n",
                                  qUtf8Printable(metaPath()), qUtf8Printable(as::typeToPrettyString(type)));
            continue;
        }
        runtimes.append(as::Runtime(runtime_guid, QString::fromStdString(stored.name), stored.kind, guid, true,
                                    QString::fromStdString(stored.ext)));
    }
    for (const auto &param : meta.params())
        params.insert(QString::fromStdString(param.first), QString::fromStdString(param.second));
    for (const Velmora::MetaMapper &mapper : meta.mappers()) {
        as::MapperFiles files;
        for (const auto &file : mapper.files)
            files.append(qMakePair(QString::fromStdString(file.first), QString::fromStdString(file.second)));
        mappers.append(qMakePair(QString::fromStdString(mapper.name), files));
    }
    if (type == AssetType::MATERIAL)
        runtimes.append(as::Runtime(Velmora::UGUID::derive(guid, "material"), base_name, as::Runtime::KIND_MATERIAL,
                                    guid, false));
    else if (type == AssetType::PROPERTY)
        runtimes.append(as::Runtime(Velmora::UGUID::derive(guid, "property"), base_name, as::Runtime::KIND_PROPERTY,
                                    guid, false));
    asset.setRuntimes(std::move(runtimes));
    asset.setImportParams(params);
    asset.setMappers(mappers);
    return true;
}

// Reads one meta file into an asset record; false (with one warning) when
// the file is not an asset.
bool readMeta(const QString &root, const QString &relative, as::Asset &asset)
{
    Velmora::MetaRecord meta;
    meta.setPath(relative.toStdString());
    Velmora::MetaScan::readRecord(root.toStdString(), meta);
    return assetFromMeta(root, relative, meta, asset);
}

// Files are shared among the reading threads in runs of this many.
constexpr size_t READ_CHUNK = 64;

std::atomic<AssetManagerPrivate::ReadHook> g_read_hook{nullptr};

// The asset records of a scan's files, made on several threads, each with
// the log lines of making it (to be written in the files' order).
struct ReadMetas
{
    std::vector<char> has_meta;
    std::vector<char> is_asset;
    // Few files log anything: the lines of each run of files, by file.
    std::vector<std::vector<std::pair<size_t, Velmora::LogHold::Lines>>> log;

    // Writes the lines held for file i.
    void releaseLog(size_t i)
    {
        for (auto &held : log[i / READ_CHUNK])
            if (held.first == i)
                Velmora::LogHold::release(held.second);
    }
};

// Makes the records of files into assets (one record per file, sized here
// unless the caller has sized them) on other threads, while this thread
// hands each file in order to take(i, ready) as soon as its run of files is
// made: the records before ready are made too (take may look ahead at them).
// read_done runs once every file is made (not when cancelled), on the thread
// that made the last run. Returns whether every file was taken. known: what
// the engine's read says of each of files (empty: read the meta files here).
template<typename Take, typename ReadDone>
bool readMetas(const QString &root, std::vector<QString> &files, const std::vector<const Velmora::MetaRecord *> &known,
               const std::atomic<bool> &cancel, QVector<as::Asset> &records, ReadMetas &read, Take take,
               ReadDone read_done)
{
    const size_t count = size_t(files.size());
    // Sized exactly: growing would round a large project's block up to the
    // next power of two. The caller may have sized them already.
    if (records.size() != int(count)) {
        records.reserve(int(count));
        records.resize(int(count));
    }
    as::Asset *assets = records.data(); // written by the threads, one record each
    read.has_meta.assign(count, 0);
    read.is_asset.assign(count, 0);
    constexpr size_t CHUNK = READ_CHUNK;
    const size_t chunks = count / CHUNK + 1;
    read.log.resize(chunks);
    // A run is made when its flag is set; the taking thread waits for the
    // next run in order, or for every maker to have stopped (cancelled).
    std::unique_ptr<std::atomic<char>[]> made(new std::atomic<char>[chunks]);
    for (size_t c = 0; c < chunks; ++c)
        made[c].store(0, std::memory_order_relaxed);
    std::mutex lock;
    std::condition_variable changed;
    const unsigned cores = std::thread::hardware_concurrency();
    const size_t threads = std::min<size_t>(std::max(1u, std::min(8u, cores == 0 ? 2u : cores)), chunks);
    // This thread takes the records; the others make them (all of them
    // when there is one thread).
    const size_t makers = std::max<size_t>(1, threads - 1);
    std::atomic<size_t> making{makers};
    std::atomic<size_t> next{0};
    auto work = [&] {
        // Every record shares the text of the folder it is in: each thread
        // has its own copy, so that the threads do not all count references
        // to one.
        const QString own_root(root.constData(), root.size());
        Velmora::LogHold::Lines lines;
        for (size_t begin = next.fetch_add(CHUNK); begin < count && !cancel; begin = next.fetch_add(CHUNK)) {
            if (const AssetManagerPrivate::ReadHook hook = g_read_hook.load(std::memory_order_acquire))
                hook(int(begin));
            for (size_t i = begin; i < std::min(count, begin + CHUNK); ++i) {
                const QString &relative = files[i];
                {
                    Velmora::LogHold hold(&lines);
                    if (const Velmora::MetaRecord *meta = known.empty() ? nullptr : known[i]) {
                        read.has_meta[i] = 1;
                        read.is_asset[i] = assetFromMeta(own_root, relative, *meta, assets[i]);
                    } else if (known.empty()
                               && QFileInfo::exists(own_root + relative + QLatin1Char('.')
                                                    + QLatin1String(as::ASSET_EXTENSION))) {
                        read.has_meta[i] = 1;
                        read.is_asset[i] = readMeta(own_root, relative, assets[i]);
                    }
                }
                // The record shares the name it keeps: the list lets go
                // of it here rather than all at once at the end.
                files[i] = QString();
                if (!lines.empty()) {
                    read.log[i / CHUNK].emplace_back(i, std::move(lines));
                    lines.clear();
                }
            }
            {
                std::lock_guard<std::mutex> locker(lock);
                made[begin / CHUNK].store(1, std::memory_order_release);
            }
            changed.notify_one();
        }
        bool last = false;
        {
            std::lock_guard<std::mutex> locker(lock);
            last = making.fetch_sub(1) == 1;
        }
        changed.notify_one();
        if (last && !cancel)
            read_done();
    };
    std::vector<std::thread> pool;
    if (threads == 1)
        work();
    else
        for (size_t t = 0; t < makers; ++t)
            pool.emplace_back(work);
    bool all = true;
    // The runs in order from here on are made up to ready (a few runs are
    // looked at ahead).
    constexpr size_t AHEAD_RUNS = 4;
    size_t ready = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i == ready) {
            if (!made[i / CHUNK].load(std::memory_order_acquire)) {
                std::unique_lock<std::mutex> locker(lock);
                changed.wait(locker, [&] { return made[i / CHUNK].load(std::memory_order_acquire) || making == 0; });
                if (!made[i / CHUNK].load(std::memory_order_acquire)) {
                    all = false;
                    break;
                }
            }
            ready = std::min(count, i + CHUNK);
            while (ready < count && ready < i + AHEAD_RUNS * CHUNK
                   && made[ready / CHUNK].load(std::memory_order_acquire))
                ready = std::min(count, ready + CHUNK);
        }
        if (cancel) {
            all = false;
            break;
        }
        take(i, ready);
    }
    for (std::thread &thread : pool)
        thread.join();
    return all;
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

void AssetManagerPrivate::joinReleasing()
{
    if (releasing_.joinable())
        releasing_.join();
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

void AssetManagerPrivate::init()
{
    if (initialized_ || scan_thread_)
        Velmora::Log::warning("Asset manager: init while already initialised; scanning again\n");
    startScan(true);
}

void AssetManagerPrivate::rescan()
{
    startScan(false);
}

bool AssetManagerPrivate::isInitialized() const
{
    return initialized_;
}

bool AssetManagerPrivate::isScanning() const
{
    return scan_thread_ != nullptr;
}

void AssetManagerPrivate::setReadHookForTests(ReadHook hook)
{
    g_read_hook.store(hook, std::memory_order_release);
}

std::shared_ptr<AssetManagerPrivate::ScanResult> AssetManagerPrivate::ScanResult::compute(
        const QString &root, const std::shared_ptr<const Velmora::MetaScan> &engine_scan,
        const std::atomic<bool> &cancel, const std::function<void()> &read_done, const Progress &progress)
{
    auto result = std::make_shared<ScanResult>();
    Velmora::LogHold hold(&result->log);
    result->index.root = root;
    std::vector<QString> files;
    QStringList unreadable;
    // Helpers in listing the read's records, joined when this returns.
    RunSteps listing;
    // What the engine's read says of each of files, when it is used.
    std::vector<const Velmora::MetaRecord *> known;
    // Runtimes the meta files list besides each asset's primary one.
    size_t stored_runtimes = 0;
    bool sorted = false;
    // A large project's records and the lookup its GUIDs are claimed in
    // (new memory the system hands over page by page) are made on another
    // thread while the paths are listed, or here when that thread has not
    // started by the time they are needed.
    size_t sizing_total = 0;
    std::atomic<bool> sizing_claimed{false};
    auto size = [&result, &sizing_total, &stored_runtimes] {
        result->index.assets.reserve(int(sizing_total));
        result->index.assets.resize(int(sizing_total));
        result->index.runtimes.reserve(runtimeRoom(sizing_total, stored_runtimes));
    };
    std::thread sizing;
    struct Joined
    {
        std::thread &thread;
        ~Joined()
        {
            if (thread.joinable())
                thread.join();
        }
    } sizing_joined{sizing};
    if (engine_scan) {
        result->root_exists = true;
        unreadable = unreadableNames(*engine_scan);
        sorted = listRecords(engine_scan->metas, files, known, listing, [&](size_t total, size_t stored) {
            stored_runtimes = stored;
            if (total < size_t(Index::PARALLEL_FROM))
                return;
            sizing_total = total;
            try {
                sizing = std::thread([&] {
                    if (!sizing_claimed.exchange(true))
                        size();
                });
            } catch (const std::system_error &) {}
        });
    } else if (!root.isEmpty() && QFileInfo(root).isDir()) {
        result->root_exists = true;
        listFiles(root, QString(), files, unreadable, cancel);
    }
    for (const QString &name : qAsConst(unreadable))
        Velmora::Log::warning("Asset manager: the name \"%s\" is not valid UTF-8, so it is no asset and nothing "
                              "below it is; rename it\n",
                              qUtf8Printable(name));
    sortByPath(files, known, sorted);
    if (sizing_total > 0) {
        if (!sizing_claimed.exchange(true))
            size();
        else
            sizing.join();
    }

    // Each record kept moves to the front of the ones made and claims its
    // GUIDs in the lookups by GUID, in path order, while later records are
    // still being made.
    Index &index = result->index;
    // Made already on the sizing thread for a large project.
    index.runtimes.reserve(runtimeRoom(files.size(), stored_runtimes));
    ReadMetas read;
    int kept = 0;
    // For a large project the other lookups (by asset GUID, by path, by
    // folder) are made on threads of their own, each following the records
    // kept so far: a record no longer changes once it is kept.
    bool follow = files.size() >= size_t(Index::PARALLEL_FROM);
    std::mutex kept_mutex;
    std::condition_variable kept_changed;
    int published = 0; // records kept and handed to the followers
    bool taken = false; // no more records will be kept
    constexpr int PUBLISH_EVERY = 1024;
    auto publish = [&](bool last) {
        {
            std::lock_guard<std::mutex> locker(kept_mutex);
            published = kept;
            taken = last;
        }
        kept_changed.notify_all();
    };
    auto follower = [&](auto step) {
        return [&, step]() mutable {
            int done = 0;
            for (;;) {
                int upto = 0;
                bool last = false;
                {
                    std::unique_lock<std::mutex> locker(kept_mutex);
                    kept_changed.wait(locker, [&] { return published > done || taken; });
                    upto = published;
                    last = taken;
                }
                step(done, upto, last);
                done = upto;
                if (last)
                    return;
            }
        };
    };
    std::thread followers[3];
    if (follow) {
        // Each lookup is sized by its own thread, as it starts.
        const int room = int(files.size());
        try {
            followers[0] = std::thread(follower([&index, room](int begin, int end, bool) {
                if (begin == 0)
                    index.by_guid.reserve(room);
                index.indexGuids(begin, end);
            }));
            followers[1] = std::thread(follower([&index, room](int begin, int end, bool) {
                if (begin == 0)
                    index.by_path.reserve(room);
                index.indexPaths(begin, end);
            }));
            followers[2]
                    = std::thread(follower([&index, runs = Index::FolderRuns()](int begin, int end, bool last) mutable {
                          for (int i = begin; i < end; ++i)
                              runs.add(index, i);
                          if (last)
                              runs.flush(index);
                      }));
        } catch (const std::system_error &) {
            // No threads: build makes every lookup afterwards.
            publish(true);
            for (std::thread &thread : followers)
                if (thread.joinable())
                    thread.join();
            follow = false;
        }
    }
    // The files taken so far are reported as their share grows: one report
    // for each per-cent step (each a queued event at most), a comparison
    // for each file.
    const size_t file_total = files.size();
    auto filesFor = [file_total](size_t percent) { return (percent * file_total + 99) / 100; };
    size_t next_report = progress && file_total > 0 ? filesFor(1) : SIZE_MAX;
    auto take = [&](size_t at, size_t ready) {
        // The records a few steps ahead are made on other threads, and the
        // slots of their GUIDs lie anywhere in the lookup: they are asked
        // for now, to be at hand when claimed.
        constexpr size_t AHEAD = 8;
        if (at + 2 * AHEAD < ready)
            index.prefetchRecord(int(at + 2 * AHEAD));
        if (at + AHEAD < ready && read.is_asset[at + AHEAD])
            index.prefetchClaim(int(at + AHEAD));
        const int i = int(at);
        read.releaseLog(at);
        if (read.has_meta[at] && read.is_asset[at]) {
            if (kept != i)
                index.assets[kept] = std::move(index.assets[i]);
            if (index.claim(kept)) {
                if (failsValidation(index.assets.at(kept)))
                    result->failed.append(index.assets.at(kept));
                ++kept;
            }
        }
        if (follow && (at + 1) % PUBLISH_EVERY == 0)
            publish(false);
        if (at + 1 >= next_report) {
            const size_t percent = (at + 1) * 100 / file_total;
            next_report = percent >= 100 ? SIZE_MAX : filesFor(percent + 1);
            progress(int(percent));
        }
    };
    readMetas(root, files, known, cancel, index.assets, read, take, [&read_done] {
        if (read_done)
            read_done();
    });
    if (follow) {
        publish(true);
        for (std::thread &thread : followers)
            if (thread.joinable())
                thread.join();
    }
    std::vector<const Velmora::MetaRecord *>().swap(known);
    if (cancel)
        return nullptr;
    index.assets.resize(kept);
    read = ReadMetas();
    index.build(true, follow);
    index.stamps = FileStamps::of(root, index.assets, cancel);
    return result;
}

void AssetManagerPrivate::prepare(const std::shared_ptr<const Velmora::MetaScan> &scan)
{
    // Only the first scan takes it; a newer read replaces an older one.
    if (initialized_ || scan_thread_ || !scan)
        return;
    auto prepared = std::make_shared<Prepared>();
    prepared->root = cleanFolder(QString::fromStdString(scan->data_path));
    prepared->scan = scan;
    Prepared *raw = prepared.get();
    scan->holdRecords();
    // The records made are all that is needed of the read's records: they
    // may go then rather than with the scan. Freeing them (and handing their
    // memory back to the system) takes long, and the scan need not wait for
    // it: it is done on a thread of its own, joined when the prepared
    // records go (or after the first scan, see applyScan).
    auto read_done = [raw] {
        try {
            raw->releasing = std::thread([scan = raw->scan] { scan->releaseRecords(true); });
        } catch (const std::system_error &) {
            raw->scan->releaseRecords(true);
        }
    };
    prepared->thread = std::thread([raw, read_done] {
        raw->result = ScanResult::compute(raw->root, raw->scan, raw->cancel, read_done,
                                          [raw](int percent) { raw->setPercent(percent); });
        raw->finish();
    });
    prepared_ = std::move(prepared);
}

void AssetManagerPrivate::startScan(bool initial)
{
    stopScan();
    initial = initial || initial_pending_;
    initial_pending_ = initial;
    const quint64 generation = ++generation_;
    const QString root = currentRoot();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    scan_cancel_ = cancel;
    const QString text = QCoreApplication::translate("Editor::AssetManagerPrivate", SCAN_TEXT);
    // The engine has just read the data folder for its file system: its
    // read serves here too, unless a folder has changed since.
    std::shared_ptr<const Velmora::MetaScan> engine_scan
            = root.isEmpty() ? nullptr : Velmora::MetaScan::takeFromFileSystem(root.toUtf8().constData());
    // The records made from that read while the engine started serve when
    // they are of this very read.
    std::shared_ptr<Prepared> prepared = std::move(prepared_);
    if (prepared && (!engine_scan || prepared->scan != engine_scan || prepared->root != root))
        prepared.reset(); // cancelled and joined
    taken_ = prepared;

    // Even the first signal goes through the event loop: never from inside
    // init().
    QMetaObject::invokeMethod(
            this,
            [this, generation, text] {
                if (generation != generation_)
                    return;
                // A scan replaced before it ended still closes its pipeline.
                if (pipeline_open_)
                    emit pipeline_ended(as::ActionType::Scan, text);
                pipeline_open_ = true;
                emit pipeline_started(as::ActionType::Scan, text);
            },
            Qt::QueuedConnection);

    scan_thread_ = QThread::create([this, generation, root, cancel, initial, text, engine_scan, prepared]() mutable {
        // The splash shows how far the records are made while they are
        // made; the values only rise.
        int posted = 0;
        const ScanResult::Progress post = [this, generation, &posted](int percent) {
            if (percent <= posted)
                return;
            posted = percent;
            QMetaObject::invokeMethod(
                    this,
                    [this, generation, percent] {
                        if (generation == generation_)
                            emit progress(percent);
                    },
                    Qt::QueuedConnection);
        };
        std::shared_ptr<ScanResult> result;
        const bool current = engine_scan && engine_scan->isCurrent();
        if (prepared) {
            // Records made before this scan began count at once, the rest
            // as they are made (unless they will not be taken).
            if (current)
                prepared->followProgress(post);
            prepared->thread.join();
            if (current && !*cancel)
                result = std::move(prepared->result);
            // Scanning again reads the records (unless they are gone):
            // not while they are let go.
            if (!result && prepared->releasing.joinable())
                prepared->releasing.join();
        }
        if (!result && !*cancel)
            result = ScanResult::compute(root, current && !engine_scan->recordsReleased() ? engine_scan : nullptr,
                                         *cancel, nullptr, post);
        prepared.reset();
        engine_scan.reset();
        if (!result || *cancel)
            return;
        Velmora::LogHold::release(result->log);
        QMetaObject::invokeMethod(
                this,
                [this, generation, result, initial, text] {
                    if (generation != generation_)
                        return;
                    applyScan(generation, result);
                    emit progress(100);
                    pipeline_open_ = false;
                    emit pipeline_ended(as::ActionType::Scan, text);
                    if (initial) {
                        initial_pending_ = false;
                        initialized_ = true;
                        emit initialized();
                    }
                },
                Qt::QueuedConnection);
    });
    scan_thread_->setObjectName(QStringLiteral("Asset scan"));
    scan_thread_->start();
}

void AssetManagerPrivate::stopScan()
{
    if (scan_cancel_)
        *scan_cancel_ = true;
    if (taken_)
        taken_->cancel = true;
    if (scan_thread_) {
        scan_thread_->wait();
        delete scan_thread_;
        scan_thread_ = nullptr;
    }
    scan_cancel_.reset();
    taken_.reset();
}

void AssetManagerPrivate::applyScan(quint64 /*generation*/, const std::shared_ptr<ScanResult> &result)
{
    // The thread has posted its last event; join it.
    if (scan_thread_) {
        scan_thread_->wait();
        delete scan_thread_;
        scan_thread_ = nullptr;
    }
    scan_cancel_.reset();
    // The read's records may still be going: that need not hold up the
    // records applied here.
    if (taken_ && taken_->releasing.joinable()) {
        joinReleasing();
        releasing_ = std::move(taken_->releasing);
    }
    taken_.reset();

    const QString root = result->index.root;
    if (!result->root_exists)
        Velmora::Log::warning("Asset manager: the data folder \"%s\" does not exist; there are no assets\n",
                              qUtf8Printable(root.isEmpty() ? QStringLiteral("(none)") : root));
    else if (result->index.assets.isEmpty())
        Velmora::Log::warning("Asset manager: the data folder \"%s\" holds no assets\n", qUtf8Printable(root));

    // Differences to the previous records: none are told on the first scan
    // (nor after a scan that found nothing), so none are looked for.
    const bool had_records = !index_->assets.isEmpty();
    QVector<Velmora::UGUID> gone, added_guids, moved_guids, changed_guids;
    // Another size or modification time of the asset's file than the last
    // scan saw.
    auto file_changed = [this, &result](const Velmora::UGUID &guid) {
        const FileStamp *before = index_->stamps.find(guid);
        const FileStamp *after = result->index.stamps.find(guid);
        return before && after && *before != *after;
    };
    if (had_records) {
        QReadLocker locker(&lock_);
        for (const as::Asset &old_asset : qAsConst(index_->assets)) {
            const as::Asset *now = result->index.find(old_asset.getGUID());
            if (!now)
                gone.append(old_asset.getGUID());
            else if (now->getRelativePath() != old_asset.getRelativePath())
                moved_guids.append(old_asset.getGUID());
            else if (*now != old_asset || file_changed(old_asset.getGUID()))
                changed_guids.append(old_asset.getGUID());
        }
        for (const as::Asset &new_asset : qAsConst(result->index.assets)) {
            if (!index_->find(new_asset.getGUID()))
                added_guids.append(new_asset.getGUID());
        }
    }

    for (const Velmora::UGUID &guid : qAsConst(gone))
        emit aboutToBeRemoved(guid);
    {
        QWriteLocker locker(&lock_);
        std::swap(index_->assets, result->index.assets);
        std::swap(index_->sorted, result->index.sorted);
        std::swap(index_->by_guid, result->index.by_guid);
        std::swap(index_->by_path, result->index.by_path);
        std::swap(index_->runtimes, result->index.runtimes);
        std::swap(index_->by_folder, result->index.by_folder);
        std::swap(index_->duplicates, result->index.duplicates);
        std::swap(index_->left_out, result->index.left_out);
        index_->stamps.swap(result->index.stamps);
        index_->root = root;
        if (!had_records || !gone.isEmpty() || !moved_guids.isEmpty() || !changed_guids.isEmpty()
            || !added_guids.isEmpty())
            ++revision_;
    }
    for (const as::Asset &asset : qAsConst(result->failed))
        emit validateFailed(asset);
    if (had_records) {
        for (const Velmora::UGUID &guid : qAsConst(gone))
            emit removed(guid);
        for (const Velmora::UGUID &guid : qAsConst(moved_guids))
            emit moved(guid);
        for (const Velmora::UGUID &guid : qAsConst(changed_guids))
            emit changed(guid);
        for (const Velmora::UGUID &guid : qAsConst(added_guids))
            emit added(guid);
        if (!gone.isEmpty() || !moved_guids.isEmpty() || !changed_guids.isEmpty() || !added_guids.isEmpty())
            emit end();
    }
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

} // namespace Editor

namespace Editor {

namespace {

bool pathLess(const as::Asset &a, const as::Asset &b)
{
    return QString::compare(a.getRelativePath(), b.getRelativePath(), Qt::CaseSensitive) < 0;
}

} // namespace

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

Velmora::UGUID AssetManagerPrivate::importSync(const QString &path, const QVariantMap &params)
{
    const QString root = rootPath();
    QString absolute = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (QDir::isRelativePath(absolute) && !root.isEmpty())
        absolute = root + absolute;
    const QString relative = absolute.mid(root.size());
    const bool hidden = relative.startsWith(QLatin1Char('.')) || relative.contains(QLatin1String("/."));
    if (root.isEmpty() || !absolute.startsWith(root) || hidden || relative.endsWith(QLatin1String(".meta"))) {
        Velmora::Log::warning("Asset manager: \"%s\" is not inside the visible data folder; it is not imported\n",
                              qUtf8Printable(absolute));
        return Velmora::UGUID();
    }
    if (!QFileInfo(absolute).isFile()) {
        Velmora::Log::warning("Asset manager: cannot import \"%s\": no such file\n", qUtf8Printable(absolute));
        return Velmora::UGUID();
    }

    const as::Asset existing = asset(relative);
    const bool is_new = existing.getGUID().isEmpty();
    if (!is_new && existing.getNumRuntimes() > 1) {
        // Stored runtimes come from a real import; their meta file stays.
        emit changed(existing.getGUID());
        emit end();
        return existing.getGUID();
    }
    const Velmora::UGUID guid = is_new ? Velmora::UGUID::generate() : existing.getGUID();
    Velmora::Xml xml("asset");
    xml.setIntArg("version", 1);
    xml.setArg("guid", guid.getString().get());
    xml.setIntArg("type", int(as::typeByExtension(QFileInfo(relative).suffix())));
    xml.setIntArg("excluded", is_new ? 0 : (existing.isExcluded() ? 1 : 0));
    if (!params.isEmpty()) {
        Velmora::Xml *import = xml.addChild("import");
        for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
            if (it.key() == QLatin1String(as::ImportParams::MAPPERS_KEY))
                continue;
            Velmora::Xml *param = import->addChild("param");
            param->setArg("name", it.key().toUtf8().constData());
            param->setData(it.value().toString().toUtf8().constData());
        }
    }
    const QString meta_path = absolute + QLatin1Char('.') + QLatin1String(as::ASSET_EXTENSION);
    if (!xml.save(meta_path.toUtf8().constData())) {
        Velmora::Log::warning("Asset manager: cannot write \"%s\"; \"%s\" is not imported\n", qUtf8Printable(meta_path),
                              qUtf8Printable(relative));
        return Velmora::UGUID();
    }
    as::Asset record;
    if (!readMeta(root, relative, record))
        return Velmora::UGUID();
    {
        QWriteLocker locker(&lock_);
        index_->insert(record);
        ++revision_;
    }
    if (Velmora::FileSystem::isInitialized())
        Velmora::FileSystem::addFile(absolute.toUtf8().constData(), guid);
    if (is_new)
        emit added(guid);
    else
        emit changed(guid);
    emit end();
    return guid;
}

} // namespace Editor

namespace Editor {

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
