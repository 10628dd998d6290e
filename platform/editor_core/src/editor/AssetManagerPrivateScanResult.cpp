// The records of a scan: the data folder's files listed (from the engine's
// read of it, or by listing the folder), their meta files made into asset
// records on several threads, and the records kept indexed.

#include "AssetManagerPrivateIndex.h"

#include "editor_core/AssetType.h"
#include "editor_core/as/AssetTypes.h"
#include "editor_core/as/FileNames.h"
#include "editor_core/as/ImportParams.h"
#include "editor_core/fs/FileSystem.h"

#include <velmora/Log.h>
#include <velmora/LogHold.h>
#include <velmora/MetaScan.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <numeric>
#include <vector>

namespace Editor {

using asset_records::FileStamp;
using asset_records::readMeta;

namespace {

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
        helpers_.join();
    }

    // work(step, run) does a run of a step; up to helpers threads help.
    void start(size_t runs, size_t helpers, std::function<void(int, size_t)> work)
    {
        runs_ = runs;
        work_ = std::move(work);
        for (size_t h = 0; h < helpers; ++h) {
            const bool started = helpers_.start([this] {
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
            if (!started)
                break; // fewer helpers (or none): this thread does the rest
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
    core_internal::ThreadGroup helpers_;
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
    const size_t helpers = metas.size() < PARALLEL_FROM ? 0 : core_internal::workerCount() - 1;
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

FileStamp stampOf(const char *path)
{
    struct stat info;
    FileStamp stamp;
    if (::stat(path, &info) == 0) {
        stamp.size = qint64(info.st_size);
        stamp.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }
    return stamp;
}

bool failsValidation(const as::Asset &asset)
{
    if (asset.getType() != AssetType::CS_COMPONENT)
        return false;
    QByteArray bytes;
    if (!fs::readRegularFile(asset.getFilePath(), bytes))
        return false;
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.trimmed().startsWith("#error"))
            return true;
    }
    return false;
}

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

} // namespace

bool asset_records::readMeta(const QString &root, const QString &relative, as::Asset &asset)
{
    Velmora::MetaRecord meta;
    meta.setPath(relative.toStdString());
    Velmora::MetaScan::readRecord(root.toStdString(), meta);
    return assetFromMeta(root, relative, meta, asset);
}

namespace {

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
    const size_t threads = std::min<size_t>(core_internal::workerCount(), chunks);
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
    core_internal::ThreadGroup pool;
    if (threads == 1)
        work();
    else
        for (size_t t = 0; t < makers; ++t)
            if (!pool.start(work)) {
                // This thread makes the share of each maker that has not
                // started (the first run does all that is left) before it
                // takes the records.
                for (; t < makers; ++t)
                    work();
                break;
            }
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
    pool.join();
    return all;
}

} // namespace

void AssetManagerPrivate::setReadHookForTests(ReadHook hook)
{
    g_read_hook.store(hook, std::memory_order_release);
}

// The phases of compute, in order, and what they share. What the phases
// start is joined when this goes, at the latest.
struct AssetManagerPrivate::ScanResult::Making
{
    explicit Making(ScanResult &made)
        : result(made)
        , index(made.index)
    {}

    ScanResult &result;
    Index &index;
    bool from_engine_read = false;
    std::vector<QString> files;
    QStringList unreadable;
    // Helpers in listing the read's records.
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
    core_internal::ThreadGroup sizing;
    ReadMetas read;
    int kept = 0;
    // For a large project the other lookups (by asset GUID, by path, by
    // folder) are made on threads of their own, each following the records
    // kept so far: a record no longer changes once it is kept.
    bool follow = false;
    std::mutex kept_mutex;
    std::condition_variable kept_changed;
    int published = 0; // records kept and handed to the followers
    bool taken = false; // no more records will be kept
    static constexpr int PUBLISH_EVERY = 1024;
    core_internal::ThreadGroup followers;

    void size()
    {
        result.index.assets.reserve(int(sizing_total));
        result.index.assets.resize(int(sizing_total));
        result.index.runtimes.reserve(runtimeRoom(sizing_total, stored_runtimes));
    }

    // The visible files of root: from the engine's read when there is one,
    // else by listing the folder.
    void listAssetFiles(const QString &root, const std::shared_ptr<const Velmora::MetaScan> &engine_scan,
                        const std::atomic<bool> &cancel)
    {
        if (engine_scan) {
            result.root_exists = true;
            unreadable = unreadableNames(*engine_scan);
            sorted = listRecords(engine_scan->metas, files, known, listing, [&](size_t total, size_t stored) {
                stored_runtimes = stored;
                if (total < size_t(Index::PARALLEL_FROM))
                    return;
                sizing_total = total;
                sizing.start([this] {
                    if (!sizing_claimed.exchange(true))
                        size();
                });
            });
        } else if (!root.isEmpty() && QFileInfo(root).isDir()) {
            result.root_exists = true;
            listFiles(root, QString(), files, unreadable, cancel);
        }
    }

    void warnOfUnreadableNames()
    {
        for (const QString &name : qAsConst(unreadable))
            Velmora::Log::warning("Asset manager: the name \"%s\" is not valid UTF-8, so it is no asset and nothing "
                                  "below it is; rename it\n",
                                  qUtf8Printable(name));
    }

    void orderFilesAndSizeRecords()
    {
        sortByPath(files, known, sorted);
        if (sizing_total > 0) {
            if (!sizing_claimed.exchange(true))
                size();
            else
                sizing.join();
        }
        // Made already on the sizing thread for a large project.
        index.runtimes.reserve(runtimeRoom(files.size(), stored_runtimes));
    }

    void publish(bool last)
    {
        {
            std::lock_guard<std::mutex> locker(kept_mutex);
            published = kept;
            taken = last;
        }
        kept_changed.notify_all();
    }

    // A follower's work: step(begin, end, last) with each new batch of
    // records kept, until the last.
    template<typename Step>
    auto follower(Step step)
    {
        return [this, step]() mutable {
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
    }

    void startFollowers()
    {
        follow = files.size() >= size_t(Index::PARALLEL_FROM);
        if (!follow)
            return;
        // Each lookup is sized by its own thread, as it starts.
        const int room = int(files.size());
        auto guids = follower([&index = index, room](int begin, int end, bool) {
            if (begin == 0)
                index.by_guid.reserve(room);
            index.indexGuids(begin, end);
        });
        auto paths = follower([&index = index, room](int begin, int end, bool) {
            if (begin == 0)
                index.by_path.reserve(room);
            index.indexPaths(begin, end);
        });
        auto folders = follower([&index = index, runs = Index::FolderRuns()](int begin, int end, bool last) mutable {
            for (int i = begin; i < end; ++i)
                runs.add(index, i);
            if (last)
                runs.flush(index);
        });
        if (!followers.start(std::move(guids)) || !followers.start(std::move(paths))
            || !followers.start(std::move(folders))) {
            // No threads: build makes every lookup afterwards.
            publish(true);
            followers.join();
            follow = false;
        }
    }

    // Each record kept moves to the front of the ones made and claims its
    // GUIDs in the lookups by GUID, in path order, while later records are
    // still being made.
    void makeAndClaimRecords(const QString &root, const std::atomic<bool> &cancel,
                             const std::function<void()> &read_done, const Progress &progress)
    {
        // The files taken so far are reported as their share grows: one
        // report for each per-cent step (each a queued event at most), a
        // comparison for each file.
        const size_t file_total = files.size();
        auto filesFor = [file_total](size_t percent) { return (percent * file_total + 99) / 100; };
        size_t next_report = progress && file_total > 0 ? filesFor(1) : SIZE_MAX;
        auto take = [&](size_t at, size_t ready) {
            // The records a few steps ahead are made on other threads, and
            // the slots of their GUIDs lie anywhere in the lookup: they are
            // asked for now, to be at hand when claimed.
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
                        result.failed.append(index.assets.at(kept));
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
    }

    void stopFollowers()
    {
        if (!follow)
            return;
        publish(true);
        followers.join();
    }

    void indexKeptRecords(const std::atomic<bool> &cancel)
    {
        index.assets.resize(kept);
        read = ReadMetas();
        index.build(true, follow);
        // The records of the engine's read are the start-up's: their stamps
        // are made meanwhile.
        index.stamps = from_engine_read ? asset_records::FileStamps::later(index.root, index.assets)
                                        : asset_records::FileStamps::of(index.root, index.assets, cancel);
    }
};

std::vector<asset_records::FileStamps::Entry>
asset_records::FileStamps::make(const QString &root, const QVector<as::Asset> &assets, const std::atomic<bool> &cancel)
{
    constexpr int PARALLEL_FROM = 4096;
    const int count = assets.size();
    std::vector<Entry> entries(size_t(std::max(count, 0)));
    const QByteArray root_bytes = QFile::encodeName(root);
    auto work = [&](int part, int parts) {
        // One path buffer per thread: the records keep no absolute path.
        std::string path(root_bytes.constData(), size_t(root_bytes.size()));
        for (int i = part; i < count && !cancel; i += parts) {
            const as::Asset &asset = assets[i];
            path.resize(size_t(root_bytes.size()));
            path += QFile::encodeName(asset.getRelativePath()).constData();
            entries[size_t(i)] = {asset.getGUID(), stampOf(path.c_str())};
        }
    };
    const int parts = count < PARALLEL_FROM ? 1 : int(core_internal::workerCount(4));
    core_internal::ThreadGroup helpers;
    for (int part = 1; part < parts; ++part)
        if (!helpers.start([&work, part, parts] { work(part, parts); }))
            work(part, parts);
    work(0, parts);
    helpers.join();
    if (cancel)
        return {};
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.first < b.first; });
    return entries;
}

asset_records::FileStamps asset_records::FileStamps::of(const QString &root, const QVector<as::Asset> &assets,
                                                        const std::atomic<bool> &cancel)
{
    FileStamps result;
    result.entries_ = make(root, assets, cancel);
    return result;
}

asset_records::FileStamps asset_records::FileStamps::later(const QString &root, const QVector<as::Asset> &assets)
{
    FileStamps result;
    try {
        result.pending_ = std::async(std::launch::async, [root, assets] {
                              static const std::atomic<bool> never{false};
                              return make(root, assets, never);
                          }).share();
    } catch (const std::system_error &) {
        static const std::atomic<bool> never{false};
        result.entries_ = make(root, assets, never);
    }
    return result;
}

std::shared_ptr<AssetManagerPrivate::ScanResult> AssetManagerPrivate::ScanResult::compute(
        const QString &root, const std::shared_ptr<const Velmora::MetaScan> &engine_scan,
        const std::atomic<bool> &cancel, const std::function<void()> &read_done, const Progress &progress)
{
    auto result = std::make_shared<ScanResult>();
    Velmora::LogHold hold(&result->log);
    result->index.root = root;
    Making making(*result);
    making.from_engine_read = engine_scan != nullptr;
    making.listAssetFiles(root, engine_scan, cancel);
    making.warnOfUnreadableNames();
    making.orderFilesAndSizeRecords();
    making.startFollowers();
    making.makeAndClaimRecords(root, cancel, read_done, progress);
    making.stopFollowers();
    std::vector<const Velmora::MetaRecord *>().swap(making.known);
    if (cancel)
        return nullptr;
    making.indexKeptRecords(cancel);
    return result;
}

} // namespace Editor
