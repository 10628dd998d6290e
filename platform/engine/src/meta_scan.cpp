#include "velmora/MetaScan.h"

#include "velmora/LogHold.h"
#include "velmora/OwnNames.h"
#include "velmora/Xml.h"

#include "engine_internal.h"
#include "thread_kit.h"

#include <QByteArray>

#include <dirent.h>
#include <fcntl.h>
#ifdef VELMORA_TUNE_GLIBC_HEAP
#include <malloc.h>
#endif
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <unordered_map>

namespace Velmora {

namespace {

const char RUNTIMES_FOLDER[] = ".runtimes";

int64_t changeTime(const struct stat &info)
{
    return int64_t(info.st_mtim.tv_sec) * 1000000000 + int64_t(info.st_mtim.tv_nsec);
}

bool isMeta(const std::string &path)
{
    return path.size() >= 5 && path.compare(path.size() - 5, 5, ".meta") == 0;
}

bool hasNonAscii(const char *name)
{
    for (; *name; ++name)
        if (static_cast<unsigned char>(*name) >= 0x80)
            return true;
    return false;
}

// A temporary file, a kept file or a journal of ours.
bool isOwnFile(std::string_view name)
{
    const OwnNames::Kind kind = OwnNames::parse(name);
    return kind == OwnNames::TEMPORARY || kind == OwnNames::KEPT || kind == OwnNames::JOURNAL;
}

bool visiblePath(const std::string &path)
{
    if (!path.empty() && path[0] == '.')
        return false;
    return path.find("/.") == std::string::npos;
}

// Reads a small file (name, relative to the folder dir) that the listing
// found regular in as few calls as the system allows (open, one read,
// close); false, having read nothing the caller may use, for anything
// unusual (the caller then loads the file the ordinary way, which reports
// what is wrong).
bool readSmallFile(int dir, const char *name, char *buffer, size_t size, QByteArray &bytes)
{
    const int fd = ::openat(dir, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t n = ::read(fd, buffer, size);
    ::close(fd);
    // A regular file reads short only at its end; a full buffer may be
    // followed by more.
    if (n < 0 || size_t(n) >= size)
        return false;
    bytes = QByteArray::fromRawData(buffer, int(n));
    return true;
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// An attribute's value read as Xml::getIntArg reads it.
int intValue(std::string_view value, int def)
{
    if (value.empty())
        return def;
    const std::string text(value);
    errno = 0;
    char *end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    while (end && (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r' || *end == '\f' || *end == '\v'))
        end++;
    if (errno != 0 || end == text.c_str() || (end && *end) || number < INT32_MIN || number > INT32_MAX)
        return def;
    return int(number);
}

// Most meta files are one element with a few plain attributes, perhaps
// after an XML declaration. Such a text (size bytes) is read into record
// here, as the XML parser would read it, without building a tree; false,
// record untouched, for anything else (children, entities, comments, white
// space the parser would change, ...), which the parser then reads.
bool readPlainMeta(const char *text, size_t size, MetaRecord &record)
{
    const char *at = text;
    const char *const end = text + size;
    const auto skipSpace = [&at, end] {
        while (at < end && isXmlSpace(*at))
            ++at;
    };
    skipSpace();
    if (end - at >= 6 && std::memcmp(at, "<?xml ", 6) == 0) {
        const char *close = at + 6;
        for (; end - close >= 2 && !(close[0] == '?' && close[1] == '>'); ++close)
            if (*close == 0)
                return false;
        if (end - close < 2)
            return false;
        at = close + 2;
        skipSpace();
    }
    if (at == end || *at != '<' || ++at == end || !isNameStart(*at))
        return false;
    const char *const name = at;
    while (at < end && isNameChar(*at))
        ++at;
    const std::string_view root(name, size_t(at - name));
    constexpr size_t MAX_ARGS = 8;
    std::pair<std::string_view, std::string_view> args[MAX_ARGS];
    size_t count = 0;
    for (;;) {
        const bool spaced = at < end && isXmlSpace(*at);
        skipSpace();
        if (at == end)
            return false;
        if (*at == '/') {
            if (end - at < 2 || at[1] != '>')
                return false;
            at += 2;
            break;
        }
        if (!spaced || !isNameStart(*at) || count == MAX_ARGS)
            return false;
        const char *const arg = at;
        while (at < end && isNameChar(*at))
            ++at;
        const std::string_view arg_name(arg, size_t(at - arg));
        if (end - at < 2 || at[0] != '=' || (at[1] != '"' && at[1] != '\''))
            return false;
        const char quote = at[1];
        at += 2;
        const char *const value = at;
        for (; at < end && *at != quote; ++at)
            if (*at == 0 || *at == '&' || *at == '<' || *at == '>' || *at == '\t' || *at == '\r' || *at == '\n')
                return false;
        if (at == end)
            return false;
        for (size_t i = 0; i < count; ++i)
            if (args[i].first == arg_name)
                return false;
        args[count++] = {arg_name, std::string_view(value, size_t(at - value))};
        ++at;
    }
    skipSpace();
    if (at != end)
        return false;
    const auto find = [&args, count](std::string_view arg_name) -> const std::string_view * {
        for (size_t i = 0; i < count; ++i)
            if (args[i].first == arg_name)
                return &args[i].second;
        return nullptr;
    };
    const auto value = [&find](std::string_view arg_name) {
        const std::string_view *found = find(arg_name);
        return found ? *found : std::string_view();
    };
    record.loaded = true;
    record.setTexts(record.path(), root, value("guid"), value("asset"), value("type"));
    record.has_type = find("type") != nullptr;
    record.type = intValue(value("type"), 0);
    record.excluded = intValue(value("excluded"), 0);
    return true;
}

// Reads the meta file path into record; name is the same file relative to
// the folder dir (AT_FDCWD for path itself).
void readRecordAt(int dir, const char *name, const std::string &path, MetaRecord &record)
{
    Xml xml;
    char buffer[16384];
    QByteArray bytes;
    if (readSmallFile(dir, name, buffer, sizeof(buffer), bytes)) {
        if (readPlainMeta(bytes.constData(), size_t(bytes.size()), record))
            return;
        if (!engine_internal::parseXmlFile(xml, bytes, path.c_str()))
            return;
    } else if (!xml.load(path.c_str())) {
        return;
    }
    record.loaded = true;
    record.setTexts(record.path(), xml.getName(), xml.getArg("guid"), xml.getArg("asset"), xml.getArg("type"));
    record.has_type = xml.isArg("type");
    record.type = xml.getIntArg("type", 0);
    record.excluded = xml.getIntArg("excluded", 0);
    for (int i = 0; i < xml.getNumChildren(); ++i) {
        const Xml *child = xml.getChild(i);
        if (!std::strcmp(child->getName(), "runtime")) {
            record.extra().runtimes.push_back(MetaRuntime{child->getArg("guid"), child->getIntArg("kind", 0),
                                                          child->getArg("name"), child->getArg("ext")});
        } else if (!std::strcmp(child->getName(), "import")) {
            for (int p = 0; p < child->getNumChildren(); ++p) {
                const Xml *param = child->getChild(p);
                if (!std::strcmp(param->getName(), "param")) {
                    record.extra().params.emplace_back(param->getArg("name"), param->getData());
                } else if (!std::strcmp(param->getName(), "mapper")) {
                    MetaMapper mapper;
                    mapper.name = param->getArg("name");
                    for (int f = 0; f < param->getNumChildren(); ++f) {
                        const Xml *file = param->getChild(f);
                        if (!std::strcmp(file->getName(), "file"))
                            mapper.files.emplace_back(file->getArg("key"), file->getData());
                    }
                    record.extra().mappers.push_back(std::move(mapper));
                }
            }
        }
    }
}

// What one folder of the data folder holds.
struct FolderList
{
    std::string folder; // data-relative, "" or ending with "/"
    bool listed = false;
    int64_t change_time = 0;
    std::vector<std::string> files; // data-relative
    std::vector<std::string> links; // files that are symbolic links
    std::vector<std::string> non_ascii;
    std::vector<std::string> marked; // see MetaScan::marked_leftovers
    std::vector<std::string> subfolders; // data-relative, ending with "/", sorted
    // The files that have a meta file beside them, and the log lines of
    // reading each meta file. Sized once, before any of them is read.
    std::vector<MetaRecord> records;
    std::vector<LogHold::Lines> lines;
    // For each of files: the index of its record in records, or one of
    // MetaScan's marks.
    std::vector<uint32_t> file_records;
    // For each subfolder, the first of files and of records that sort after
    // it: where the paths below it go among this folder's own.
    std::vector<size_t> file_splits;
    std::vector<size_t> record_splits;
    // Where each record goes among the records of the whole read (set by
    // the merge's plan; NOT_PLACED for none), and for each chunk of records
    // how many of its two steps are done: read, and that plan made. The
    // second step moves the chunk's records there.
    static constexpr uint32_t NOT_PLACED = UINT32_MAX;
    std::vector<uint32_t> record_to;
    std::unique_ptr<std::atomic<char>[]> chunk_steps;
    // The chunks not placed yet: the last one placed lets the records go.
    // record_count: their number, kept.
    std::unique_ptr<std::atomic<size_t>> chunks_left;
    size_t record_count = 0;
    // For each chunk, whether reading it logged anything (lines).
    std::unique_ptr<bool[]> chunk_logged;
};

// Reads a data folder on several threads: each folder is listed by one of
// them (its subfolders go back to the queue), and the meta files of each
// folder are read in chunks as soon as the folder is listed, so that reading
// starts while the listing goes on.
class ParallelRead
{
public:
    explicit ParallelRead(const std::string &root)
        : root_(root)
    {
        push(Task{Task::LIST, std::string(), nullptr, 0, 0});
    }

    // Reads on this thread and threads - 1 more; returns when all is read.
    void run(size_t threads)
    {
        engine_internal::runOnThreads(threads - 1, [this](bool caller) {
            // Every open and close takes the lock of the process's table of
            // descriptors; with a table of its own a started reading thread
            // waits for no other thread (its files are all closed before it
            // ends).
            if (!caller)
                ::unshare(CLONE_FILES);
            work();
        });
    }

    // Meta files read as one task.
    static constexpr size_t CHUNK = 64;

    // Another thread reads too, from now until all is read.
    void help() { work(); }

    // Once every folder is listed, its files placed and its record_to set
    // (the merge's plan): the records of each chunk go to metas, sized for
    // them, as soon as both the chunk is read and this is called (those
    // read already as tasks of their own).
    void placeIn(std::vector<MetaRecord> &metas)
    {
        // Read by a reading thread only once its chunk's steps tell this
        // was called.
        merged_ = &metas;
        for (FolderList &folder : folders)
            for (size_t begin = 0; begin < folder.record_count; begin += CHUNK)
                stepDone(folder, begin, true);
    }

    // listed is called once every folder is listed, on the thread that
    // listed the last one, while the other threads go on reading; false
    // (listed not kept) when every folder is listed already.
    bool whenListed(std::function<void()> listed)
    {
        std::lock_guard<std::mutex> locker(mutex_);
        if (unlisted_ == 0)
            return false;
        listed_ = std::move(listed);
        return true;
    }

    std::deque<FolderList> folders; // in no particular order

private:
    struct Task
    {
        enum Kind : char { LIST, READ, PLACE };
        Kind kind; // list folder, read records begin..end of read, or place them
        std::string folder;
        FolderList *read;
        size_t begin, end;
    };

    void push(Task task)
    {
        std::lock_guard<std::mutex> locker(mutex_);
        if (task.kind == Task::LIST)
            ++unlisted_;
        tasks_.push_back(std::move(task));
        ready_.notify_one();
    }

    void work()
    {
        for (;;) {
            Task task;
            {
                std::unique_lock<std::mutex> locker(mutex_);
                ready_.wait(locker, [this] { return !tasks_.empty() || busy_ == 0; });
                if (tasks_.empty()) {
                    ready_.notify_all();
                    return;
                }
                // Last in, first out: a folder's meta files are read soon
                // after it is listed, while what the system found of it is
                // fresh.
                task = std::move(tasks_.back());
                tasks_.pop_back();
                ++busy_;
            }
            if (task.kind == Task::LIST)
                list(task.folder);
            else if (task.kind == Task::READ)
                read(*task.read, task.begin, task.end);
            else
                place(*task.read, task.begin);
            std::lock_guard<std::mutex> locker(mutex_);
            if (--busy_ == 0 && tasks_.empty())
                ready_.notify_all();
        }
    }

    // Lists one folder: files outside hidden folders (the top-level
    // ".runtimes" excepted), never following a link to a folder.
    void list(const std::string &folder)
    {
        FolderList result;
        result.folder = folder;
        DIR *dir = ::opendir((root_ + folder).c_str());
        if (dir) {
            struct stat folder_info;
            if (::fstat(::dirfd(dir), &folder_info) == 0) {
                result.listed = true;
                result.change_time = changeTime(folder_info);
            }
            while (const dirent *entry = ::readdir(dir)) {
                const char *name = entry->d_name;
                if (!std::strcmp(name, ".") || !std::strcmp(name, ".."))
                    continue;
                std::string relative = folder + name;
                if (name[0] != '.' && hasNonAscii(name))
                    result.non_ascii.push_back(relative);
                unsigned char type = entry->d_type;
                bool link = type == DT_LNK;
                if (type == DT_UNKNOWN || type == DT_LNK) {
                    struct stat info;
                    if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                        continue;
                    link = S_ISLNK(info.st_mode);
                    if (link && ::fstatat(::dirfd(dir), name, &info, 0) != 0)
                        continue; // a dangling link
                    type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
                }
                if (type == DT_DIR) {
                    if (link)
                        continue; // never follow links out of (or around) the data folder
                    if (name[0] == '.' && !(folder.empty() && !std::strcmp(name, RUNTIMES_FOLDER))) {
                        if (OwnNames::parse(name) == OwnNames::SCRATCH)
                            result.marked.push_back(relative + "/");
                        continue;
                    }
                    result.subfolders.push_back(relative + "/");
                    push(Task{Task::LIST, result.subfolders.back(), nullptr, 0, 0});
                } else if (type == DT_REG) {
                    if (link)
                        result.links.push_back(relative);
                    else if (name[0] == '.' && isOwnFile(name))
                        result.marked.push_back(relative);
                    result.files.push_back(std::move(relative));
                }
            }
            ::closedir(dir);
        }
        std::sort(result.files.begin(), result.files.end());
        std::sort(result.subfolders.begin(), result.subfolders.end());
        std::sort(result.links.begin(), result.links.end());

        // A record for every file that has its meta file listed beside it.
        // The meta file sorts after the file itself and before any other
        // name that starts with the file's name and a character after ".".
        std::string meta_path;
        result.file_records.assign(result.files.size(), MetaScan::NO_RECORD);
        for (size_t i = 0; i < result.files.size(); ++i) {
            const std::string &path = result.files[i];
            if (isMeta(path)) {
                result.file_records[i] = MetaScan::META_FILE;
                continue;
            }
            meta_path.assign(path).append(".meta");
            if (!std::binary_search(result.files.begin() + long(i), result.files.end(), meta_path))
                continue;
            result.file_records[i] = uint32_t(result.records.size());
            MetaRecord record;
            record.setPath(path);
            record.visible = visiblePath(path);
            record.link = std::binary_search(result.links.begin(), result.links.end(), path);
            result.records.push_back(std::move(record));
        }
        result.record_count = result.records.size();
        result.lines.resize(result.records.size());
        result.chunk_steps.reset(new std::atomic<char>[result.records.size() / CHUNK + 1]());
        result.chunk_logged.reset(new bool[result.records.size() / CHUNK + 1]());
        result.chunks_left.reset(new std::atomic<size_t>((result.records.size() + CHUNK - 1) / CHUNK));
        for (const std::string &subfolder : result.subfolders) {
            result.file_splits.push_back(size_t(std::lower_bound(result.files.begin(), result.files.end(), subfolder)
                                                - result.files.begin()));
            result.record_splits.push_back(
                    size_t(std::lower_bound(result.records.begin(), result.records.end(), subfolder,
                                            [](const MetaRecord &record, const std::string &path) {
                                                return record.path() < path;
                                            })
                           - result.records.begin()));
        }
        FolderList *stored = nullptr;
        std::function<void()> listed;
        {
            std::lock_guard<std::mutex> locker(mutex_);
            folders.push_back(std::move(result));
            stored = &folders.back();
            if (--unlisted_ == 0)
                listed = std::move(listed_);
        }
        const size_t count = stored->records.size();
        for (size_t begin = 0; begin < count; begin += CHUNK)
            push(Task{Task::READ, std::string(), stored, begin, std::min(count, begin + CHUNK)});
        if (listed)
            listed();
    }

    // Reads the meta files of records begin..end of one folder, opened
    // relative to the folder: the path is looked up once per chunk, not
    // once per file.
    void read(FolderList &folder, size_t begin, size_t end)
    {
        const int dir = ::open((root_ + folder.folder).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        std::string path = root_;
        for (size_t i = begin; i < end; ++i) {
            MetaRecord &record = folder.records[i];
            LogHold hold(&folder.lines[i]);
            path.resize(root_.size());
            path += record.path();
            path += ".meta";
            if (dir >= 0)
                readRecordAt(dir, path.c_str() + root_.size() + folder.folder.size(), path, record);
            else
                readRecordAt(AT_FDCWD, path.c_str(), path, record);
        }
        if (dir >= 0)
            ::close(dir);
        folder.chunk_logged[begin / CHUNK]
                = std::any_of(folder.lines.begin() + long(begin), folder.lines.begin() + long(end),
                              [](const LogHold::Lines &lines) { return !lines.empty(); });
        stepDone(folder, begin, false);
    }

    // One more step of the chunk that starts at begin is done: the second
    // one places its records, here or (later) as a task of its own.
    void stepDone(FolderList &folder, size_t begin, bool later)
    {
        if (folder.chunk_steps[begin / CHUNK].fetch_add(1, std::memory_order_acq_rel) != 1)
            return;
        if (later)
            push(Task{Task::PLACE, std::string(), &folder, begin, 0});
        else
            place(folder, begin);
    }

    // Places the records of the chunk that starts at begin. The last chunk
    // placed lets go of what the folder's listing and records held (its
    // files were placed with the plan).
    void place(FolderList &folder, size_t begin)
    {
        const size_t end = std::min(folder.record_count, begin + CHUNK);
        for (size_t i = begin; i < end; ++i)
            if (folder.record_to[i] != FolderList::NOT_PLACED)
                (*merged_)[folder.record_to[i]] = std::move(folder.records[i]);
        if (folder.chunks_left->fetch_sub(1, std::memory_order_acq_rel) != 1)
            return;
        std::vector<MetaRecord>().swap(folder.records);
        std::vector<uint32_t>().swap(folder.record_to);
        std::vector<std::string>().swap(folder.files);
        std::vector<uint32_t>().swap(folder.file_records);
        std::vector<std::string>().swap(folder.links);
        std::vector<std::string>().swap(folder.non_ascii);
        std::vector<std::string>().swap(folder.marked);
        std::vector<std::string>().swap(folder.subfolders);
        std::vector<size_t>().swap(folder.file_splits);
        std::vector<size_t>().swap(folder.record_splits);
    }

    const std::string root_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<Task> tasks_;
    size_t busy_ = 0;
    size_t unlisted_ = 0; // folders to list, being listed included
    std::function<void()> listed_;
    std::vector<MetaRecord> *merged_ = nullptr;
};

} // namespace

void MetaRecord::setPath(std::string_view path)
{
    setTexts(path, std::string_view(), std::string_view(), std::string_view(), std::string_view());
}

void MetaRecord::setTexts(std::string_view path, std::string_view root, std::string_view guid, std::string_view owner,
                          std::string_view type_text)
{
    // Exactly sized, one block for all.
    const size_t size = path.size() + root.size() + guid.size() + owner.size() + type_text.size() + 5;
    std::unique_ptr<char[]> texts(new char[size]);
    uint32_t at = 0;
    auto put = [&texts, &at](std::string_view text) {
        const uint32_t begin = at;
        if (!text.empty())
            std::memcpy(texts.get() + at, text.data(), text.size());
        at += uint32_t(text.size());
        texts[at++] = 0;
        return begin;
    };
    put(path);
    root_ = put(root);
    guid_ = put(guid);
    owner_ = put(owner);
    type_text_ = put(type_text);
    end_ = at;
    texts_ = std::move(texts);
}

namespace {

const MetaExtra &noExtra()
{
    static const MetaExtra none;
    return none;
}

} // namespace

bool MetaRecord::guidValue(UGUID &guid) const
{
    return guid.setString(this->guid().data());
}

const std::vector<MetaRuntime> &MetaRecord::runtimes() const
{
    return (extra_ ? *extra_ : noExtra()).runtimes;
}

const std::vector<std::pair<std::string, std::string>> &MetaRecord::params() const
{
    return (extra_ ? *extra_ : noExtra()).params;
}

const std::vector<MetaMapper> &MetaRecord::mappers() const
{
    return (extra_ ? *extra_ : noExtra()).mappers;
}

MetaExtra &MetaRecord::extra()
{
    if (!extra_)
        extra_.reset(new MetaExtra);
    return *extra_;
}

void MetaScan::readRecord(const std::string &root, MetaRecord &record)
{
    const std::string path = root + std::string(record.path()) + ".meta";
    readRecordAt(AT_FDCWD, path.c_str(), path, record);
}

namespace {

// The read begun by MetaScan::readAhead, until read takes it or it is
// dropped. Its thread is joined at the latest when the program ends.
struct ReadAhead
{
    std::mutex mutex;
    std::string data_path;
    engine_internal::ThreadGroup thread;
    std::shared_ptr<ParallelRead> reading; // while its files are read
    std::shared_ptr<MetaScan> scan; // written by thread, read once it is joined

    ~ReadAhead() { drop(); }

    // Joins the read and hands it over (null when there is none); the
    // calling thread reads too when the read is of the folder help_for.
    std::shared_ptr<MetaScan> take(std::string *path, const std::string *help_for)
    {
        engine_internal::ThreadGroup joining;
        std::shared_ptr<ParallelRead> helping;
        {
            std::lock_guard<std::mutex> locker(mutex);
            joining = std::move(thread);
            if (help_for && *help_for == data_path)
                helping = reading;
            if (path)
                *path = std::move(data_path);
            data_path.clear();
        }
        if (helping)
            helping->help();
        joining.join();
        std::lock_guard<std::mutex> locker(mutex);
        return std::move(scan);
    }

    void drop() { take(nullptr, nullptr); }
};

ReadAhead &readAheadSlot()
{
    static ReadAhead slot;
    return slot;
}

} // namespace

void MetaScan::readAhead(const std::string &data_path)
{
    ReadAhead &slot = readAheadSlot();
    slot.drop();
    std::lock_guard<std::mutex> locker(slot.mutex);
    slot.data_path = data_path;
    // Made here, so that a read that comes at once finds it to join in.
    slot.reading = std::make_shared<ParallelRead>(data_path);
    const bool started = slot.thread.start([&slot, data_path] {
        // Its files are all closed before it ends (see ParallelRead).
        ::unshare(CLONE_FILES);
        auto scan = readFolder(data_path, true);
        std::lock_guard<std::mutex> locker(slot.mutex);
        slot.scan = std::move(scan);
    });
    if (!started) {
        slot.data_path.clear(); // no thread: the engine reads as it would have
        slot.reading.reset();
    }
}

void MetaScan::waitReadAhead()
{
    ReadAhead &slot = readAheadSlot();
    std::string path;
    auto scan = slot.take(&path, nullptr);
    std::lock_guard<std::mutex> locker(slot.mutex);
    slot.data_path = std::move(path);
    slot.scan = std::move(scan);
}

void MetaScan::dropReadAhead()
{
    readAheadSlot().drop();
}

std::shared_ptr<MetaScan> MetaScan::read(const std::string &data_path)
{
    std::string ahead_path;
    std::shared_ptr<MetaScan> ahead = readAheadSlot().take(&ahead_path, &data_path);
    if (ahead && ahead_path == data_path && ahead->isCurrent()) {
        for (LogHold::Lines &lines : ahead->held_lines_)
            LogHold::release(lines);
        std::vector<LogHold::Lines>().swap(ahead->held_lines_);
        return ahead;
    }
    ahead.reset();
    return readFolder(data_path, false);
}

namespace {

// Where the merged read puts each folder's files and records: everything
// by path, whatever thread found it. Every path below a folder sorts
// between the paths of that folder's files that sort before and after the
// folder's own path (with its "/"), so walking the folders in that order
// gives the files and records sorted without comparing paths of different
// folders. The walk finds where each run of a folder's files (the files
// between two of its subfolders) and their records go.
//
// Where everything goes is known once every folder is listed, long before
// the last meta file is read: the walk, the merged lists (new memory the
// system has to hand over page by page) and the files moved into place are
// made meanwhile, by the thread that listed the last folder, while the
// others read on (they never touch the files). From then on the records of
// each chunk go into place as soon as it is read, those read before with
// the plan.
class MergePlan
{
public:
    struct Run
    {
        FolderList *folder;
        size_t file_begin, file_end, record_begin, record_end;
        size_t file_to, record_to;
    };

    void make(ParallelRead &read, MetaScan &scan)
    {
        startSizing(read, scan);
        const auto by_path = indexFolders(read, scan);
        // The places of the subfolders among the files were found when the
        // folders were listed: the walk compares no paths.
        const auto root = by_path.find(std::string());
        if (root != by_path.end())
            walk(*root->second, by_path);
        placeRecords(read);
        moveFiles(scan);
        sizing_records_.join();
        scan.metas.resize(records_to_);
        read.placeIn(scan.metas);
    }

    // The records' log lines, in path order (few chunks have any): written,
    // or held in the scan for a read ahead.
    void writeLines(bool ahead, std::vector<LogHold::Lines> &held) const
    {
        for (const Run &run : runs_)
            for (size_t r = run.record_begin; r < run.record_end; ++r) {
                if (!run.folder->chunk_logged[r / ParallelRead::CHUNK]) {
                    r = (r / ParallelRead::CHUNK + 1) * ParallelRead::CHUNK - 1;
                    continue;
                }
                LogHold::Lines &lines = run.folder->lines[r];
                if (lines.empty())
                    continue;
                if (!ahead)
                    LogHold::release(lines);
                else
                    held.push_back(std::move(lines));
            }
    }

private:
    using FoldersByPath = std::unordered_map<std::string, FolderList *>;

    // The walk reaches every folder listed, so the merged lists' sizes are
    // known before it: a large project's lists are made on other threads
    // meanwhile.
    void startSizing(const ParallelRead &read, MetaScan &scan)
    {
        size_t all_files = 0, all_records = 0;
        for (const FolderList &folder : read.folders) {
            all_files += folder.files.size();
            all_records += folder.record_count;
        }
        constexpr size_t PARALLEL_FROM = 8192;
        if (all_files < PARALLEL_FROM)
            return;
        // Without a thread, each list is sized where it is filled.
        sizing_files_.start([&scan, all_files] {
            scan.files.resize(all_files);
            scan.file_records.resize(all_files);
        });
        sizing_records_.start([&scan, all_records] { scan.metas.resize(all_records); });
    }

    // The folders by path; the listed folders and the names that are not
    // ASCII go to the scan, sorted.
    static FoldersByPath indexFolders(ParallelRead &read, MetaScan &scan)
    {
        FoldersByPath by_path;
        for (FolderList &folder : read.folders) {
            by_path.emplace(folder.folder, &folder);
            if (folder.listed)
                scan.folders.emplace_back(folder.folder, folder.change_time);
            for (std::string &name : folder.non_ascii)
                scan.non_ascii_names.push_back(std::move(name));
            for (std::string &name : folder.marked)
                scan.marked_leftovers.push_back(std::move(name));
        }
        std::sort(scan.folders.begin(), scan.folders.end());
        std::sort(scan.non_ascii_names.begin(), scan.non_ascii_names.end());
        std::sort(scan.marked_leftovers.begin(), scan.marked_leftovers.end());
        return by_path;
    }

    void walk(FolderList &folder, const FoldersByPath &by_path)
    {
        size_t file = 0, record = 0;
        for (size_t sub = 0; sub <= folder.subfolders.size(); ++sub) {
            const bool last = sub == folder.subfolders.size();
            const size_t file_end = last ? folder.files.size() : folder.file_splits[sub];
            const size_t record_end = last ? folder.records.size() : folder.record_splits[sub];
            if (file < file_end) {
                runs_.push_back(Run{&folder, file, file_end, record, record_end, files_to_, records_to_});
                files_to_ += file_end - file;
                records_to_ += record_end - record;
                file = file_end;
                record = record_end;
            }
            if (last)
                break;
            const auto below = by_path.find(folder.subfolders[sub]);
            if (below != by_path.end())
                walk(*below->second, by_path);
        }
    }

    // Where each folder's records go in the merged list.
    void placeRecords(ParallelRead &read) const
    {
        for (FolderList &folder : read.folders)
            folder.record_to.assign(folder.records.size(), FolderList::NOT_PLACED);
        for (const Run &run : runs_)
            for (size_t r = run.record_begin; r < run.record_end; ++r)
                run.folder->record_to[r] = uint32_t(run.record_to + r - run.record_begin);
    }

    // The files into their place, each with its record's merged position.
    void moveFiles(MetaScan &scan)
    {
        sizing_files_.join();
        scan.files.resize(files_to_);
        scan.file_records.resize(files_to_);
        for (const Run &run : runs_) {
            std::move(run.folder->files.begin() + long(run.file_begin), run.folder->files.begin() + long(run.file_end),
                      scan.files.begin() + long(run.file_to));
            // The records of a run's files are the run's records.
            for (size_t f = run.file_begin; f < run.file_end; ++f) {
                const uint32_t record = run.folder->file_records[f];
                scan.file_records[run.file_to + f - run.file_begin]
                        = record >= MetaScan::NO_RECORD ? record : uint32_t(run.record_to + record - run.record_begin);
            }
        }
    }

    std::vector<Run> runs_;
    size_t files_to_ = 0, records_to_ = 0;
    engine_internal::ThreadGroup sizing_files_, sizing_records_;
};

} // namespace

std::shared_ptr<MetaScan> MetaScan::readFolder(const std::string &data_path, bool ahead)
{
    auto scan = std::make_shared<MetaScan>();
    scan->data_path = data_path;
    const size_t threads = engine_internal::workerCount();
    std::shared_ptr<ParallelRead> reading;
    if (ahead) {
        ReadAhead &slot = readAheadSlot();
        std::lock_guard<std::mutex> locker(slot.mutex);
        reading = slot.reading;
    } else {
        reading = std::make_shared<ParallelRead>(data_path);
    }
    ParallelRead &read = *reading;

    MergePlan plan;
    auto make_plan = [&read, &scan, &plan] { plan.make(read, *scan); };
    // Every folder may be listed already when another thread joined a read
    // ahead early: the plan is then made here while that thread reads.
    if (!read.whenListed(make_plan))
        make_plan();
    if (ahead) {
        // Read ahead: one core is left to the program's own set-up, and the
        // engine's read joins in when it comes before the end.
        read.run(std::max<size_t>(1, threads - 1));
        ReadAhead &slot = readAheadSlot();
        std::lock_guard<std::mutex> locker(slot.mutex);
        slot.reading.reset();
    } else {
        read.run(threads);
    }
    plan.writeLines(ahead, scan->held_lines_);
    return scan;
}

namespace {

struct ReadListeners
{
    std::mutex mutex;
    int next_id = 0;
    std::vector<std::pair<int, MetaScan::ReadListener>> listeners;
};

ReadListeners &readListeners()
{
    static ReadListeners *listeners = new ReadListeners;
    return *listeners;
}

} // namespace

int MetaScan::addReadListener(ReadListener listener)
{
    ReadListeners &all = readListeners();
    std::lock_guard<std::mutex> locker(all.mutex);
    all.listeners.emplace_back(++all.next_id, std::move(listener));
    return all.next_id;
}

void MetaScan::removeReadListener(int id)
{
    ReadListeners &all = readListeners();
    std::lock_guard<std::mutex> locker(all.mutex);
    all.listeners.erase(std::remove_if(all.listeners.begin(), all.listeners.end(),
                                       [id](const auto &entry) { return entry.first == id; }),
                        all.listeners.end());
}

void MetaScan::notifyRead(const std::shared_ptr<const MetaScan> &scan)
{
    ReadListeners &all = readListeners();
    std::lock_guard<std::mutex> locker(all.mutex);
    for (const auto &entry : all.listeners)
        entry.second(scan);
}

// Each share of the records holds their keeper; the last one to go ends it.
struct MetaRecordsShare::Keeper
{
    Keeper(std::shared_ptr<const MetaScan> read, std::shared_ptr<const void> read_memory)
        : scan(std::move(read))
        , memory(std::move(read_memory))
    {}
    Keeper(const Keeper &) = delete;
    Keeper &operator=(const Keeper &) = delete;

    const std::shared_ptr<const MetaScan> scan;
    std::shared_ptr<const void> memory;
    std::atomic<bool> served{false};

    ~Keeper()
    {
        if (!served)
            return;
        // Both go outside the lock: freeing the records takes long, and the
        // newer share may be the last one by then.
        std::shared_ptr<Keeper> newer;
        std::vector<MetaRecord> records;
        std::lock_guard<std::mutex> locker(scan->share_mutex_);
        // A share taken after the last one went, but before this: its
        // keeper holds the records now, and lets them go in turn.
        newer = scan->records_keeper_.lock();
        if (newer) {
            newer->served = true;
        } else {
            // The scan itself is made by read() and never const.
            records.swap(const_cast<MetaScan &>(*scan).metas);
            scan->records_released_ = true;
        }
    }
};

void MetaRecordsShare::serve() const
{
    if (keeper_)
        keeper_->served = true;
}

MetaRecordsShare MetaScan::shareRecords() const
{
    MetaRecordsShare share;
    std::lock_guard<std::mutex> locker(share_mutex_);
    share.keeper_ = records_keeper_.lock();
    if (!share.keeper_ && !records_released_) {
        share.keeper_ = std::make_shared<MetaRecordsShare::Keeper>(shared_from_this(), memoryShare());
        records_keeper_ = share.keeper_;
    }
    return share;
}

namespace {

// Gives the memory of a read back to the system once the records and
// every other part let go early are gone.
struct MemoryReturn
{
    explicit MemoryReturn(std::shared_ptr<const MetaScan> read)
        : scan(std::move(read))
    {}
    MemoryReturn(const MemoryReturn &) = delete;
    MemoryReturn &operator=(const MemoryReturn &) = delete;

    const std::shared_ptr<const MetaScan> scan;

    ~MemoryReturn()
    {
#ifdef VELMORA_TUNE_GLIBC_HEAP
        // Most of the read's texts were made by the reading threads, in
        // arenas of their own, between blocks that live on: what they held
        // would stay in the process until those arenas are used again.
        if (scan->recordsReleased())
            ::malloc_trim(0);
#endif
    }
};

} // namespace

std::shared_ptr<const void> MetaScan::shareMemory() const
{
    std::lock_guard<std::mutex> locker(share_mutex_);
    return memoryShare();
}

std::shared_ptr<const void> MetaScan::memoryShare() const
{
    std::shared_ptr<const void> share = memory_.lock();
    if (!share) {
        share = std::make_shared<const MemoryReturn>(shared_from_this());
        memory_ = share;
    }
    return share;
}

bool MetaScan::recordsReleased() const
{
    return records_released_;
}

bool MetaScan::isCurrent() const
{
    for (const auto &folder : folders) {
        struct stat info;
        if (::stat((data_path + folder.first).c_str(), &info) != 0 || changeTime(info) != folder.second)
            return false;
    }
    return !folders.empty();
}

} // namespace Velmora
