#include "editor/interdependence/parser/parser_driver.h"

#include "editor/interdependence/item_arena.h"

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
#include <thread>
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

// One run over the list. It stays one function: the reading threads (the
// worker), the hand-out of made items and the in-order reports share one
// state (the tasks, the counters under one mutex, two condition variables,
// the stop flag) whose every change is made under rules that read best in
// one place; its three parts are marked below.
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
    made_.clear();
    made_.reserve(size_t(n));
    releaseRuntimeSlots();
    // Files left out for a taken GUID are rare: when the manager knows of
    // none, no asset needs to ask for its own.
    ask_left_out_ = !as_manager_->duplicates().isEmpty();
    // The records of the data folder give their files as the folder and a
    // relative path: joined here in UTF-8, they are never made as absolute
    // paths in the records (each kept by its record once made).
    root_ = as_manager_->rootPath();
    root_utf8_ = root_.toStdString();

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
    // The assets are handed to the pool in batches of consecutive ones, and
    // each thread takes a few consecutive assets at a time, so that a
    // hand-over costs little next to the files it brings.
    const int threads = parseThreads();
    const int batch = std::max(1, std::min(PARSE_BATCH, n / (4 * threads) + 1));
    const int claim = std::min(PARSE_CLAIM, batch);
    const int num_batches = (n + batch - 1) / batch;
    // Assets differ widely in cost (a folder of images next to one of
    // nodes): handing out many batches per thread beyond the first asset not
    // read yet keeps the threads busy while that one is read; an eighth of
    // the list at most keeps the items made ahead of the reading few.
    const int ahead = batch * std::max(2 * threads, std::min(16 * threads, num_batches / 8));
    std::vector<Task> tasks(static_cast<size_t>(n));
    std::mutex mutex;
    std::condition_variable work_ready;
    // Told when a thread of the pool runs out of assets and when the last
    // asset has been read.
    std::condition_variable work_done;
    int ready = 0; // assets handed to the pool
    int next = 0; // the first asset that no thread has taken
    int idle = 0; // threads of the pool waiting for assets
    unsigned events = 0; // what work_done tells, counted
    bool closing = false;
    std::atomic<bool> stop{false};
    std::atomic<int> num_parsed{0};

    // The items' sets take their memory from arenas that go with the items:
    // one per thread that fills them, so that the sets cost no free each
    // when the items go.
    const std::shared_ptr<ItemArena> arena = item_builder_->arena();
    ItemArena::Scope own_sets(arena ? arena->side() : nullptr);
    auto worker = [&, arena] {
        // Every open and close takes the lock of the process's table of
        // descriptors; with a table of its own a reading thread waits for no
        // other thread. Everything it opens is closed before it ends.
        ::unshare(CLONE_FILES);
        // The resolver's answers, remembered on this thread for this run.
        LookupCache lookups;
        // The assets come in path order: most files are in the folder of
        // the one before.
        Velmora::Xml::FolderScope folders;
        ItemArena::Scope sets(arena ? arena->side() : nullptr);
        for (;;) {
            int first = 0;
            int last = 0;
            bool wake_another = false;
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (next == ready && !closing) {
                    ++idle;
                    ++events;
                    work_done.notify_one();
                    work_ready.wait(lock, [&] { return next < ready || closing; });
                    --idle;
                }
                first = last = next;
                if (next < ready && !stop) {
                    last = std::min(next + claim, ready);
                    next = last;
                    wake_another = next < ready && idle > 0;
                }
            }
            if (wake_another)
                work_ready.notify_one();
            if (first == last)
                return;
            for (int i = first; i < last; ++i) {
                // Between two files at most: a cancel leaves each thread
                // with the file it is reading.
                if (stop)
                    return;
                Task &task = tasks[size_t(i)];
                if (task.made) {
                    Velmora::LogHold hold(&task.log);
                    parseFiles(output, task.items, &stop);
                }
                task.parsed.store(true, std::memory_order_release);
            }
            if (num_parsed.fetch_add(last - first, std::memory_order_relaxed) + (last - first) == n) {
                std::lock_guard<std::mutex> lock(mutex);
                ++events;
                work_done.notify_one();
            }
        }
    };
    std::vector<std::thread> pool;

    // The job's thread makes the items and hands them out, and reports each
    // asset once it and all before it have been read, with its log lines:
    // the reports and the log are those of reading the assets one by one.
    // It looks at what has been read at least every POLL_INTERVAL, so that a
    // cancel is seen while the threads are still reading, and at once when
    // a thread runs out of assets or the last one has been read.
    constexpr auto POLL_INTERVAL = std::chrono::milliseconds(1);
    int handed = 0; // assets made and handed out
    int reported = 0; // assets read, in the list's order, and reported
    int written = 0; // assets whose lines are written
    unsigned seen = 0;
    bool keep_going = true;
    // What making the resolver's table logged comes before the assets'
    // lines: until the table is done, the lines of the assets reported wait.
    const auto *resolver = dynamic_cast<const GuidProcessor *>(resolver_.get());
    bool table_lines_written = !resolver;
    auto writeLines = [&] {
        while (written < reported)
            Velmora::LogHold::release(tasks[size_t(written++)].log);
    };
    for (;;) {
        while (reported < handed && tasks[size_t(reported)].parsed.load(std::memory_order_acquire)) {
            ++reported;
            if (table_lines_written || (table_lines_written = resolver->writeTableLines(false)))
                writeLines();
            if (reported == n)
                break;
            if (!progress(n, reported)) {
                keep_going = false;
                break;
            }
        }
        if (!keep_going || reported == n)
            break;
        if (handed < n && handed - reported < ahead) {
            const int end = std::min(n, handed + batch);
            for (int i = handed; i < end; ++i) {
                Task &task = tasks[size_t(i)];
                Velmora::LogHold hold(&task.log);
                // at(): the list is shared with the settings, and a writable
                // access would copy every record.
                task.made = prepareAsset(assets_.at(i), output, task.items);
            }
            handed = end;
            bool wake = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                ready = handed;
                // A busy thread takes the batch when it is done with its own
                // assets: waking nobody spares a system call per batch. A
                // thread woken wakes another while assets are left.
                wake = idle > 0;
            }
            if (int(pool.size()) < std::min(threads, num_batches))
                pool.emplace_back(worker);
            if (wake)
                work_ready.notify_one();
            continue;
        }
        std::unique_lock<std::mutex> lock(mutex);
        work_done.wait_for(lock, POLL_INTERVAL, [&] { return events != seen; });
        seen = events;
    }
    if (!keep_going)
        stop = true;
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    work_ready.notify_all();
    for (std::thread &thread : pool)
        thread.join();
    if (!table_lines_written)
        resolver->writeTableLines(true);
    writeLines();
    // The lines of assets not reported (a cancel) go with their tasks: as
    // far as the log tells, those assets were never read.
    ask_left_out_ = true;
    root_.clear();
    root_utf8_.clear();
    releaseRuntimeSlots();
    if (!keep_going)
        return false;
    return progress(n, n);
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
