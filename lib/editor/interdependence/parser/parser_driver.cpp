#include "editor/interdependence/parser/parser_driver.h"

#include "editor/interdependence/item_arena.h"

#include "core/base/thread_group.h"
#include "core/base/worker_count.h"

#include "editor/interdependence/parser/guid_processor.h"
#include "editor/interdependence/parser/items/node.h"
#include "editor/interdependence/parser/lookup_cache.h"

#include <editor_core/as/AssetTypes.h>
#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/LogHold.h>
#include <velmora/Xml.h>

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include <sched.h>

namespace inas {
namespace parser {

namespace {

bool isValidType(int type)
{
    return type > AssetType::BEGIN && type < AssetType::SIZE;
}

const char *const WORLD_SCRIPT_EXTENSIONS[] = {"usc", "cpp"};

// Consecutive assets made and handed to the pool at a time (fewer when
// there are few assets, so that every thread gets some).
constexpr int PARSE_BATCH = 64;
// Consecutive assets that one thread of the pool takes at a time: a batch is
// shared by several threads, so that a batch of large files does not keep
// the others waiting for it.
constexpr int PARSE_CLAIM = 8;

// Threads that read and parse files in one run: the machine's cores, at
// most eight.
int parseThreads()
{
    return base::WorkerCount::ofMachine();
}

// Takes a GUID out of every dependents set of an item, its node records and
// root set included, so that the records stay subsets of the item's sets.
void removeDependent(Item &item, const Velmora::UGUID &guid)
{
    if (!item.getDependents().remove(guid))
        return;
    auto *node = dynamic_cast<items::Node *>(&item);
    if (!node)
        return;
    node->getRootDependents().remove(guid);
    std::vector<NodeRecord> &records = node->getNodeRecords();
    for (NodeRecord &record : records)
        record.dependents.remove(guid);
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const NodeRecord &r) { return r.dependents.empty() && r.lost.empty(); }),
                  records.end());
}

// The UTF-8 form of a path after prefix (UTF-8 already) in one allocation
// (paths are mostly ASCII, which is copied as it is).
Velmora::String utf8Path(const QString &path, const std::string &prefix = std::string())
{
    const int size = path.size();
    const QChar *chars = path.constData();
    std::string bytes(prefix.size() + size_t(size), '\0');
    prefix.copy(&bytes[0], prefix.size());
    char *const out = &bytes[prefix.size()];
    for (int i = 0; i < size; ++i) {
        const ushort c = chars[i].unicode();
        if (c >= 0x80) {
            const QByteArray converted = path.toUtf8();
            bytes.resize(prefix.size());
            bytes.append(converted.constData(), size_t(converted.size()));
            break;
        }
        out[i] = char(c);
    }
    return Velmora::String(std::move(bytes));
}

} // namespace

Driver::Driver() = default;

Driver::~Driver() = default;

void Driver::setAssetManager(Editor::AssetManagerPrivate *manager)
{
    as_manager_ = manager;
}

void Driver::setAssets(const QVector<as::Asset> &assets)
{
    assets_ = assets;
    max_iterations_ = assets_.size();
}

void Driver::setAssets(const Velmora::Vector<as::Asset> &assets)
{
    setAssets(QVector<as::Asset>(assets.begin(), assets.end()));
}

void Driver::setItemBuilder(std::unique_ptr<ItemBuilder> builder)
{
    item_builder_ = std::move(builder);
}

void Driver::setModule(int type, ModulePtr module)
{
    if (!isValidType(type)) {
        Velmora::Log::warning("Dependency analysis: no module can be registered for the asset type %d\n", type);
        return;
    }
    modules_[size_t(type)] = std::move(module);
}

ModulePtr Driver::getModule(int type) const
{
    return isValidType(type) ? modules_[size_t(type)] : ModulePtr();
}

void Driver::setResolver(std::shared_ptr<const GuidProcessorBase> resolver)
{
    resolver_ = std::move(resolver);
}

int Driver::getMaxIterations() const
{
    return max_iterations_;
}

std::unique_ptr<Output> Driver::parse(const ProgressCallback &progress)
{
    std::unique_ptr<Output> output = makeOutput();
    if (!runLoop(*output, progress))
        return nullptr;
    return output;
}

void Driver::reset()
{
    max_iterations_ = 0;
    // Let go of the list: clear() would first copy every record of a list
    // shared with the settings.
    assets_ = QVector<as::Asset>();
    item_builder_.reset();
    modules_.fill(ModulePtr());
    resolver_.reset();
    made_.clear();
    releaseRuntimeSlots();
}

std::unique_ptr<Output> Driver::makeOutput() const
{
    return std::make_unique<Output>();
}

// One run over the list. The job's thread makes the items and hands them out
// in batches to a pool of reading threads, and reports each asset once it and
// all before it have been read, with its log lines: the reports and the log
// are those of reading the assets one by one. The state below is shared by
// the pool and the job's thread; the rules for changing it are written where
// it changes.
class Driver::ParseRun
{
public:
    // Sizes the batches for the driver's list (not empty) and the machine.
    ParseRun(Driver &driver, Output &output, const ProgressCallback &progress);
    ParseRun(const ParseRun &) = delete;
    ParseRun &operator=(const ParseRun &) = delete;

    // Makes, hands out and reports the assets until every one has been read
    // (true) or a progress call asked to stop (false).
    bool readAll();
    // Stops the pool after a cancel (each thread after the file it is
    // reading), waits for it and writes the lines of the assets reported.
    void close(bool cancelled);

private:
    // One asset's work: its items (made here, in order), the log lines of
    // making them and of reading its files (written here, in order), and
    // whether its files have been read.
    struct Task
    {
        AssetItems items;
        Velmora::LogHold::Lines log;
        bool made = false;
        std::atomic<bool> parsed{false};
    };

    // The body of a reading thread of the pool.
    void readAssets();
    // Takes the next consecutive assets for the calling reading thread,
    // [first, last), and waits for some while none is left; none once the
    // run closes or stops.
    void claimAssets(int &first, int &last);
    // Reads the files of the assets claimed; false when the run stopped
    // before the last one.
    bool readClaimed(int first, int last);

    // Reports in order the assets read since the last call, and writes
    // their lines; false when a progress call asked to stop.
    bool reportRead();
    void writeLines();
    // Whether the next batch may be made: the items made ahead of the first
    // asset not reported are bounded.
    bool mayHandOut() const;
    // Makes the items of the next batch and hands it to the pool, which
    // grows by a thread if it has fewer than it may.
    void handOutBatch();
    // Reads what is handed out on the job's thread: when the system refuses
    // every reading thread (a process at its thread limit).
    void readHere();
    // Waits until a reading thread runs out of assets, the last asset has
    // been read or the poll interval has passed.
    void waitForEvent();

    Driver &driver_;
    Output &output_;
    const ProgressCallback &progress_;
    const int n_;

    // The assets are handed to the pool in batches of consecutive ones, and
    // each thread takes a few consecutive assets at a time, so that a
    // hand-over costs little next to the files it brings.
    const int threads_;
    const int batch_;
    const int claim_;
    const int num_batches_;
    // Assets differ widely in cost (a folder of images next to one of
    // nodes): handing out many batches per thread beyond the first asset not
    // read yet keeps the threads busy while that one is read; an eighth of
    // the list at most keeps the items made ahead of the reading few.
    const int ahead_;

    std::vector<Task> tasks_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    // Told when a thread of the pool runs out of assets and when the last
    // asset has been read.
    std::condition_variable work_done_;
    int ready_ = 0; // assets handed to the pool
    int next_ = 0; // the first asset that no thread has taken
    int idle_ = 0; // threads of the pool waiting for assets
    unsigned events_ = 0; // what work_done_ tells, counted
    bool closing_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> num_parsed_{0};

    // The items' sets take their memory from arenas that go with the items:
    // one per thread that fills them, so that the sets cost no free each
    // when the items go.
    const std::shared_ptr<ItemArena> arena_;
    ItemArena::Scope own_sets_;
    base::ThreadGroup pool_;

    // Kept by the job's thread alone.
    int handed_ = 0; // assets made and handed out
    int reported_ = 0; // assets read, in the list's order, and reported
    int written_ = 0; // assets whose lines are written
    unsigned seen_ = 0;
    // What making the resolver's table logged comes before the assets'
    // lines: until the table is done, the lines of the assets reported wait.
    const GuidProcessor *const resolver_;
    bool table_lines_written_;
};

Driver::ParseRun::ParseRun(Driver &driver, Output &output, const ProgressCallback &progress)
    : driver_(driver)
    , output_(output)
    , progress_(progress)
    , n_(driver.assets_.size())
    , threads_(parseThreads())
    , batch_(std::max(1, std::min(PARSE_BATCH, n_ / (4 * threads_) + 1)))
    , claim_(std::min(PARSE_CLAIM, batch_))
    , num_batches_((n_ + batch_ - 1) / batch_)
    , ahead_(batch_ * std::max(2 * threads_, std::min(16 * threads_, num_batches_ / 8)))
    , tasks_(static_cast<size_t>(n_))
    , arena_(driver.item_builder_->arena())
    , own_sets_(arena_ ? arena_->side() : nullptr)
    , resolver_(dynamic_cast<const GuidProcessor *>(driver.resolver_.get()))
    , table_lines_written_(!resolver_)
{}

void Driver::ParseRun::readAssets()
{
    // Every open and close takes the lock of the process's table of
    // descriptors; with a table of its own a reading thread waits for no
    // other thread. Everything it opens is closed before it ends.
    ::unshare(CLONE_FILES);
    // The resolver's answers, remembered on this thread for this run.
    LookupCache lookups;
    // The assets come in path order: most files are in the folder of the
    // one before.
    Velmora::Xml::FolderScope folders;
    ItemArena::Scope sets(arena_ ? arena_->side() : nullptr);
    for (;;) {
        int first = 0;
        int last = 0;
        claimAssets(first, last);
        if (first == last || !readClaimed(first, last))
            return;
    }
}

void Driver::ParseRun::claimAssets(int &first, int &last)
{
    bool wake_another = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (next_ == ready_ && !closing_) {
            ++idle_;
            ++events_;
            work_done_.notify_one();
            work_ready_.wait(lock, [this] { return next_ < ready_ || closing_; });
            --idle_;
        }
        first = last = next_;
        if (next_ < ready_ && !stop_) {
            last = std::min(next_ + claim_, ready_);
            next_ = last;
            wake_another = next_ < ready_ && idle_ > 0;
        }
    }
    if (wake_another)
        work_ready_.notify_one();
}

bool Driver::ParseRun::readClaimed(int first, int last)
{
    for (int i = first; i < last; ++i) {
        // Between two files at most: a cancel leaves each thread with the
        // file it is reading.
        if (stop_)
            return false;
        Task &task = tasks_[size_t(i)];
        if (task.made) {
            Velmora::LogHold hold(&task.log);
            driver_.parseFiles(output_, task.items, &stop_);
        }
        task.parsed.store(true, std::memory_order_release);
    }
    if (num_parsed_.fetch_add(last - first, std::memory_order_relaxed) + (last - first) == n_) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++events_;
        work_done_.notify_one();
    }
    return true;
}

bool Driver::ParseRun::readAll()
{
    for (;;) {
        if (!reportRead())
            return false;
        if (reported_ == n_)
            return true;
        if (mayHandOut())
            handOutBatch();
        else
            waitForEvent();
    }
}

bool Driver::ParseRun::reportRead()
{
    while (reported_ < handed_ && tasks_[size_t(reported_)].parsed.load(std::memory_order_acquire)) {
        ++reported_;
        if (table_lines_written_ || (table_lines_written_ = resolver_->writeTableLines(false)))
            writeLines();
        if (reported_ == n_)
            return true;
        if (!progress_(n_, reported_))
            return false;
    }
    return true;
}

void Driver::ParseRun::writeLines()
{
    while (written_ < reported_)
        Velmora::LogHold::release(tasks_[size_t(written_++)].log);
}

bool Driver::ParseRun::mayHandOut() const
{
    return handed_ < n_ && handed_ - reported_ < ahead_;
}

void Driver::ParseRun::handOutBatch()
{
    const int end = std::min(n_, handed_ + batch_);
    for (int i = handed_; i < end; ++i) {
        Task &task = tasks_[size_t(i)];
        Velmora::LogHold hold(&task.log);
        // at(): the list is shared with the settings, and a writable access
        // would copy every record.
        task.made = driver_.prepareAsset(driver_.assets_.at(i), output_, task.items);
    }
    handed_ = end;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_ = handed_;
        // A busy thread takes the batch when it is done with its own assets:
        // waking nobody spares a system call per batch. A thread woken wakes
        // another while assets are left.
        wake = idle_ > 0;
    }
    if (int(pool_.size()) < std::min(threads_, num_batches_)) {
        // A thread refused is asked for again with the next batch; until
        // then the threads that run read it all, and with none, this one.
        pool_.start([this] { readAssets(); });
    }
    if (pool_.empty())
        readHere();
    else if (wake)
        work_ready_.notify_one();
}

void Driver::ParseRun::readHere()
{
    LookupCache lookups;
    Velmora::Xml::FolderScope folders;
    for (;;) {
        int first = 0;
        int last = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            first = next_;
            last = next_ = std::min(next_ + claim_, ready_);
        }
        if (first == last || !readClaimed(first, last))
            return;
    }
}

void Driver::ParseRun::waitForEvent()
{
    // The job's thread looks at what has been read at least every
    // POLL_INTERVAL, so that a cancel is seen while the threads are still
    // reading, and at once when a thread runs out of assets or the last one
    // has been read.
    constexpr auto POLL_INTERVAL = std::chrono::milliseconds(1);
    std::unique_lock<std::mutex> lock(mutex_);
    work_done_.wait_for(lock, POLL_INTERVAL, [this] { return events_ != seen_; });
    seen_ = events_;
}

void Driver::ParseRun::close(bool cancelled)
{
    if (cancelled)
        stop_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    work_ready_.notify_all();
    pool_.join();
    if (!table_lines_written_)
        resolver_->writeTableLines(true);
    writeLines();
    // The lines of assets not reported (a cancel) go with their tasks: as
    // far as the log tells, those assets were never read.
}

bool Driver::runLoop(Output &output, const ProgressCallback &progress)
{
    EC_ASSERT(item_builder_ && as_manager_);
    EC_ASSERT(std::any_of(modules_.begin(), modules_.end(), [](const ModulePtr &m) { return bool(m); }));
    const int n = assets_.size();
    EC_ASSERT(n == getMaxIterations());

    output.getItems().clear();
    output.getItems().reserve(size_t(n));
    if (n == 0)
        return progress(0, 0);
    // Before any work.
    if (!progress(n, 0))
        return false;
    beginRun();
    ParseRun run(*this, output, progress);
    const bool read_all = run.readAll();
    run.close(!read_all);
    endRun();
    return read_all && progress(n, n);
}

void Driver::beginRun()
{
    made_.clear();
    made_.reserve(size_t(assets_.size()));
    releaseRuntimeSlots();
    // Files left out for a taken GUID are rare: when the manager knows of
    // none, no asset needs to ask for its own.
    ask_left_out_ = !as_manager_->duplicates().isEmpty();
    // The records of the data folder give their files as the folder and a
    // relative path: joined here in UTF-8, they are never made as absolute
    // paths in the records (each kept by its record once made).
    root_ = as_manager_->rootPath();
    root_utf8_ = root_.toStdString();
}

void Driver::endRun()
{
    ask_left_out_ = true;
    root_.clear();
    root_utf8_.clear();
    releaseRuntimeSlots();
}

ItemPtr Driver::makeItem(const Velmora::UGUID &id, int type)
{
    return item_builder_->build(id, type);
}

void Driver::locateFile(Item &item, const as::Asset *record) const
{
    Velmora::String path = filePathOf(item.getId(), record);
    if (path.isEmpty())
        Velmora::Log::warning("Dependency analysis: no file is known for %s; its item is made without one\n",
                              item.getId().getString().get());
    item.setAbsolutePath(std::move(path));
}

void Driver::parseAsset(const as::Asset &asset, Output &output)
{
    AssetItems items;
    if (prepareAsset(asset, output, items))
        parseFiles(output, items);
}

bool Driver::prepareAsset(const as::Asset &asset, Output &output, AssetItems &items)
{
    if (asset.isNull()) {
        Velmora::Log::warning("Dependency analysis: an empty asset record is skipped\n");
        return false;
    }
    // One look into the set per id: taken out again when no item is made.
    if (!made_.insert(asset.getGUID())) {
        Velmora::Log::warning("Dependency analysis: the asset %s is listed twice; it is parsed once\n",
                              asset.getGUID().getString().get());
        return false;
    }
    ItemPtr asset_item = makeItem(asset.getGUID(), asset.getType());
    if (!asset_item) {
        made_.erase(asset.getGUID());
        return false;
    }
    Item *const item = asset_item.get();
    items.item = item;
    output.getItems().push_back(std::move(asset_item));
    items.asset = &asset;

    const Velmora::Vector<as::Runtime> &runtimes = asset.getRuntimes();
    if (!runtimes.isEmpty())
        items.runtimes = runtimeSlots(size_t(runtimes.size()));
    for (const as::Runtime &runtime : runtimes) {
        if (runtime.getGUID() == asset.getGUID())
            continue;
        item->getDescendants().insert(runtime.getGUID());
        if (!made_.insert(runtime.getGUID())) {
            // Said where the files are located, in the runtimes' order.
            items.runtimes[items.num_runtimes++] = RuntimeItem(&runtime, nullptr);
            continue;
        }
        ItemPtr runtime_item = makeItem(runtime.getGUID(), getRuntimeAssetType(runtime));
        if (!runtime_item) {
            made_.erase(runtime.getGUID());
            continue;
        }
        runtime_item->setOwnerId(item->getId());
        items.runtimes[items.num_runtimes++] = RuntimeItem(&runtime, runtime_item.get());
        output.getItems().push_back(std::move(runtime_item));
    }
    return true;
}

void Driver::locateFiles(AssetItems &items) const
{
    locateFile(*items.item, items.asset);
    for (int r = 0; r < items.num_runtimes; ++r) {
        const RuntimeItem &runtime = items.runtimes[r];
        if (runtime.second)
            locateFile(*runtime.second, nullptr);
        else
            Velmora::Log::warning("Dependency analysis: the runtime %s is listed twice; it is parsed once\n",
                                  runtime.first->getGUID().getString().get());
    }
}

void Driver::parseFiles(Output &output, AssetItems &items, const std::atomic<bool> *stop)
{
    locateFiles(items);
    const as::Asset &asset = *items.asset;
    Item &item = *items.item;
    runModule(output, asset, item);
    for (int r = 0; r < items.num_runtimes; ++r) {
        const RuntimeItem &runtime = items.runtimes[r];
        if (stop && *stop)
            return;
        if (!runtime.second)
            continue;
        parseNodeRuntime(output, asset, *runtime.first, item, *runtime.second);
        parseOtherRuntime(output, asset, *runtime.first, item, *runtime.second);
    }
    if (stop && *stop)
        return;
    parseWorld(output, asset, item);
    // Whatever its files say, an asset does not use itself or its own
    // runtimes (a material naming its own material GUID, say).
    removeDependent(item, item.getId());
    for (const Velmora::UGUID &runtime : item.getDescendants())
        removeDependent(item, runtime);
}

bool Driver::runModule(Output & /*output*/, const as::Asset &asset, Item &item)
{
    const int type = asset.getType();
    if (!isValidType(type)) {
        Velmora::Log::warning("Dependency analysis: %s has the unknown asset type %d; it is not parsed\n",
                              asset.getGUID().getString().get(), type);
        return false;
    }
    const ModulePtr &module = modules_[size_t(type)];
    if (!module)
        return false;
    if (item.getAbsolutePath().isEmpty())
        return false; // makeItem has said why
    module->process(item.getAbsolutePath().get(), item);
    // A file that claims this asset's GUID (a copy made with its meta file)
    // is no asset, but what it references is still in use: it counts as
    // this asset's.
    if (!ask_left_out_)
        return true;
    for (const QString &left_out : as_manager_->leftOutFiles(asset.getGUID())) {
        const int left_out_type = as::typeByExtension(QFileInfo(left_out).suffix());
        const ModulePtr &left_out_module = isValidType(left_out_type) ? modules_[size_t(left_out_type)] : module;
        if (left_out_module)
            left_out_module->process(left_out.toUtf8().constData(), item);
    }
    return true;
}

bool Driver::parseWorld(Output & /*output*/, const as::Asset &asset, Item &item)
{
    if (asset.getType() != AssetType::WORLD)
        return false;
    const Velmora::String &path = item.getAbsolutePath();
    if (path.isEmpty())
        return true;

    if (const ModulePtr &module = modules_[AssetType::WORLD]) {
        static const Velmora::String META_EXTENSION(as::ASSET_EXTENSION);
        module->process(Velmora::String::format("%s.%s", path.get(), META_EXTENSION.get()).get(), item);
        // The meta file names the world itself.
        removeDependent(item, item.getId());
    }

    const Velmora::String base = path.removeExtension();
    for (const char *extension : WORLD_SCRIPT_EXTENSIONS) {
        const Velmora::String script = Velmora::String::format("%s.%s", base.get(), extension);
        if (!Velmora::FileSystem::isFileExist(script.get()))
            continue;
        const Velmora::UGUID guid = Velmora::FileSystem::getGUID(script.get());
        if (!guid.isValid() || !as_manager_->hasAsset(guid)) {
            Velmora::Log::warning("Dependency analysis: \"%s\" beside the world is not an asset; it is not counted "
                                  "as a use of the world\n",
                                  script.get());
            continue;
        }
        item.getDependents().insert(guid);
    }
    return true;
}

bool Driver::parseNodeRuntime(Output & /*output*/, const as::Asset & /*asset*/, const as::Runtime &runtime,
                              Item & /*asset_item*/, Item &runtime_item)
{
    if (getRuntimeAssetType(runtime) != AssetType::NODE)
        return false;
    const ModulePtr &module = modules_[AssetType::NODE];
    if (!module || runtime_item.getAbsolutePath().isEmpty())
        return false;
    module->process(runtime_item.getAbsolutePath().get(), runtime_item);
    return true;
}

bool Driver::parseOtherRuntime(Output & /*output*/, const as::Asset & /*asset*/, const as::Runtime & /*runtime*/,
                               Item & /*asset_item*/, Item & /*runtime_item*/)
{
    return false;
}

int Driver::getRuntimeAssetType(const as::Runtime &runtime) const
{
    return runtime.getKind() == as::Runtime::KIND_NODE ? int(AssetType::NODE) : int(AssetType::BEGIN);
}

void Driver::releaseRuntimeSlots()
{
    runtime_blocks_.clear();
    runtime_next_ = nullptr;
    runtime_slots_left_ = 0;
}

Driver::RuntimeItem *Driver::runtimeSlots(size_t count)
{
    constexpr size_t BLOCK = 1024;
    if (count > runtime_slots_left_) {
        const size_t size = std::max(BLOCK, count);
        runtime_blocks_.push_back(std::make_unique<RuntimeItem[]>(size));
        runtime_next_ = runtime_blocks_.back().get();
        runtime_slots_left_ = size;
    }
    RuntimeItem *const first = runtime_next_;
    runtime_next_ += count;
    runtime_slots_left_ -= count;
    return first;
}

bool Driver::liesAtRelativePath(const as::Asset &record) const
{
    if (root_.isEmpty())
        return false;
    // The data folder and the relative path joined in a text kept by the
    // thread: its memory is reused from one record to the next.
    thread_local QString joined;
    joined.resize(0);
    joined += root_;
    joined += record.getRelativePath();
    return record.isFilePathIn(joined);
}

Velmora::String Driver::filePathOf(const Velmora::UGUID &id, const as::Asset *record) const
{
    // The asset being parsed brings its own file along.
    if (record && record->getGUID() == id) {
        if (liesAtRelativePath(*record))
            return utf8Path(record->getRelativePath(), root_utf8_);
        if (!record->getFilePath().isEmpty())
            return utf8Path(record->getFilePath());
    }
    QString path = as_manager_->filePath(id);
    if (path.isEmpty()) {
        const Velmora::UGUID owner = as_manager_->assetGUIDByRuntimeGUID(id);
        if (owner.isValid() && owner != id) {
            const Velmora::String engine_path = Velmora::FileSystem::getAbsolutePath(owner);
            if (!engine_path.isEmpty())
                return engine_path;
            path = as_manager_->filePath(owner);
        }
    }
    return utf8Path(path);
}

} // namespace parser
} // namespace inas
