#include "velmora/FileSystem.h"

#include "velmora/Log.h"
#include "velmora/LogHold.h"
#include "velmora/MetaScan.h"
#include "velmora/Xml.h"

#include "file_system_index.h"
#include "file_system_table.h"
#include "log_internal.h"
#include "spread_shared_mutex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Velmora {

namespace {

using namespace engine_internal::fs;

const char GUID_PREFIX[] = "guid://";

struct FsState
{
    // Standard locks inside, so that thread sanitizer runs see it.
    engine_internal::SpreadSharedMutex lock;
    bool initialized = false;
    bool read_guids_db = true;
    QString data_path; // absolute, cleaned, ending with "/"
    FileTable files; // data-relative path -> record
    GuidMap by_guid;
    // File GUID -> the asset named by the side meta of a stored runtime.
    std::unordered_map<UGUID, UGUID, GuidHash> owners;
    std::unordered_map<UGUID, UGUID> virtual_files; // guid -> owner
    int guids_db_entries = 0;
    // The read of the data folder made by init, until the asset manager
    // takes it or the index changes.
    std::shared_ptr<MetaScan> scan;
    // Lets go of that read's records (see buildIndex); joined by the next
    // init and by shutdown.
    engine_internal::ThreadGroup release_thread;
};

void joinReleaseThread(FsState &s)
{
    s.release_thread.join();
}

FsState &state()
{
    static FsState *s = new FsState;
    return *s;
}

// Collects one log line and writes it when destroyed: declared before a
// locker, it logs after the lock is released, so that console callbacks
// may query the file system.
class DeferredLog
{
public:
    DeferredLog() = default;
    DeferredLog(const DeferredLog &) = delete;
    DeferredLog &operator=(const DeferredLog &) = delete;
    ~DeferredLog()
    {
        if (kind_ == 1)
            Log::warning("%s", text_.c_str());
        else if (kind_ == 2)
            Log::error("%s", text_.c_str());
    }
    void warning(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        text_ = detail::vformat(format, args);
        va_end(args);
        kind_ = 1;
    }
    void error(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        text_ = detail::vformat(format, args);
        va_end(args);
        kind_ = 2;
    }

private:
    int kind_ = 0;
    std::string text_;
};

bool startsWithGuidPrefix(const char *path)
{
    return path && std::strncmp(path, GUID_PREFIX, 7) == 0;
}

// Data-relative form of path ("" when outside the data folder). Caller holds the lock.
// A relative path that cleaning would leave as it is: ASCII, no "\\", no
// empty, "." or ".." component, no leading or trailing "/", and not a Qt
// resource path. Most texts that the file system is asked about are such
// paths (or no path at all), so they need no QString round trip.
bool isCleanRelativePath(const char *path)
{
    if (*path == '/' || *path == ':')
        return false;
    const char *segment = path;
    for (const char *c = path;; ++c) {
        const unsigned char ch = static_cast<unsigned char>(*c);
        if (ch >= 0x80 || ch == '\\')
            return false;
        if (ch == '/' || ch == 0) {
            const size_t length = size_t(c - segment);
            if (length == 0 || (length == 1 && segment[0] == '.')
                || (length == 2 && segment[0] == '.' && segment[1] == '.'))
                return false;
            if (ch == 0)
                return true;
            segment = c + 1;
        }
    }
}

std::string toRelative(const FsState &s, const char *path)
{
    if (!path || !*path || s.data_path.isEmpty())
        return std::string();
    if (isCleanRelativePath(path))
        return std::string(path);
    QString p = QString::fromUtf8(path);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QDir::isAbsolutePath(p)) {
        p = QDir::cleanPath(p);
        if (!p.startsWith(s.data_path))
            return std::string();
        p = p.mid(s.data_path.size());
    } else {
        p = QDir::cleanPath(p);
        if (p == QLatin1String(".."))
            return std::string();
        if (p.startsWith(QLatin1String("../")))
            return std::string();
        if (p == QLatin1String("."))
            return std::string();
    }
    while (p.startsWith(QLatin1Char('/')))
        p.remove(0, 1);
    return p.toStdString();
}

// GUID named by a "guid://" path (empty when it does not parse).
UGUID guidOfGuidPath(const char *path)
{
    UGUID guid;
    if (startsWithGuidPrefix(path))
        guid.setString(path);
    return guid;
}
// Lookup of an indexed file by any path form; null when unknown. Caller holds the lock.
const std::pair<const std::string, Record> *findFile(const FsState &s, const char *path)
{
    if (startsWithGuidPrefix(path)) {
        const UGUID guid = guidOfGuidPath(path);
        auto it = s.by_guid.find(guid);
        if (guid.isEmpty() || it == s.by_guid.end())
            return nullptr;
        return &*it->second;
    }
    if (path && *path && isCleanRelativePath(path) && !s.data_path.isEmpty()) {
        auto file = s.files.find(std::string_view(path));
        return file == s.files.end() ? nullptr : &*file;
    }
    const std::string relative = toRelative(s, path);
    if (relative.empty())
        return nullptr;
    auto file = s.files.find(relative);
    return file == s.files.end() ? nullptr : &*file;
}

bool checkInitialized(const FsState &s, const char *caller, DeferredLog &log)
{
    if (s.initialized)
        return true;
    log.error("FileSystem::%s(): the file system is not initialized\n", caller);
    return false;
}

} // namespace

bool FileSystem::init(const char *data_path, bool read_guids_db)
{
    if (!data_path || !*data_path) {
        // Never fall back to the working folder or "/": an empty index instead.
        Log::warning("FileSystem::init(): no data folder given\n");
        FsState &s = state();
        std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
        s.initialized = true;
        s.read_guids_db = read_guids_db;
        s.data_path.clear();
        s.files.clear();
        s.by_guid.clear();
        s.owners.clear();
        s.virtual_files.clear();
        s.guids_db_entries = 0;
        return false;
    }
    QString path = QDir::cleanPath(QFileInfo(QString::fromUtf8(data_path ? data_path : "")).absoluteFilePath());
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    joinReleaseThread(state());
    Index index = buildIndex(path, read_guids_db, {}, true);
    FsState &s = state();
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    s.release_thread = std::move(index.release_thread);
    s.initialized = true;
    s.read_guids_db = read_guids_db;
    s.data_path = path;
    s.virtual_files.clear();
    s.files = std::move(index.files);
    s.by_guid = std::move(index.by_guid);
    s.owners = std::move(index.owners);
    s.guids_db_entries = index.guids_db_entries;
    s.scan = std::move(index.scan);
    return QFileInfo(path).isDir();
}

void FileSystem::shutdown()
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    s.initialized = false;
    s.data_path.clear();
    s.files.clear();
    s.by_guid.clear();
    s.owners.clear();
    s.virtual_files.clear();
    s.guids_db_entries = 0;
    s.scan.reset();
    joinReleaseThread(s);
}

bool FileSystem::isInitialized()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return s.initialized;
}

bool FileSystem::rescan()
{
    QString path;
    bool read_guids_db = true;
    std::unordered_map<UGUID, UGUID> virtual_files;
    {
        FsState &s = state();
        DeferredLog log;
        std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
        if (!checkInitialized(s, "rescan", log))
            return false;
        path = s.data_path;
        read_guids_db = s.read_guids_db;
        virtual_files = s.virtual_files;
    }
    if (path.isEmpty())
        return false;
    Index index = buildIndex(path, read_guids_db, virtual_files, false);
    FsState &s = state();
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!s.initialized || s.data_path != path)
        return false; // shut down or restarted meanwhile
    s.files = std::move(index.files);
    s.by_guid = std::move(index.by_guid);
    s.owners = std::move(index.owners);
    s.guids_db_entries = index.guids_db_entries;
    s.scan.reset();
    return QFileInfo(path).isDir();
}

String FileSystem::getDataPath()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return String(s.data_path.toStdString());
}

UGUID FileSystem::getGUID(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getGUID", log))
        return UGUID();
    if (startsWithGuidPrefix(path)) {
        const UGUID guid = guidOfGuidPath(path);
        if (s.virtual_files.count(guid))
            return guid;
    }
    const auto *file = findFile(s, path);
    return file ? file->second.guid : UGUID();
}

bool FileSystem::isFileExist(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "isFileExist", log))
        return false;
    return guid.isValid() && s.by_guid.count(guid) > 0;
}

bool FileSystem::isFileExist(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "isFileExist", log))
        return false;
    return findFile(s, path) != nullptr;
}

String FileSystem::getAbsolutePath(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getAbsolutePath", log))
        return String();
    auto it = s.by_guid.find(guid);
    if (guid.isEmpty() || it == s.by_guid.end())
        return String();
    return String(s.data_path.toStdString() + it->second->first);
}

String FileSystem::getAbsolutePath(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getAbsolutePath", log))
        return String();
    const auto *file = findFile(s, path);
    return file ? String(s.data_path.toStdString() + file->first) : String();
}

String FileSystem::getVirtualPath(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getVirtualPath", log) || guid.isEmpty())
        return String();
    auto it = s.by_guid.find(guid);
    if (it != s.by_guid.end())
        return String(it->second->first);
    if (s.virtual_files.count(guid))
        return guid.getFileSystemString();
    return String();
}

String FileSystem::getVirtualPath(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "getVirtualPath", log))
        return String();
    if (startsWithGuidPrefix(path)) {
        const auto *file = findFile(s, path);
        return file ? String(file->first) : String();
    }
    return String(toRelative(s, path));
}

bool FileSystem::isGUIDPath(const char *path)
{
    return startsWithGuidPrefix(path) && UGUID::isGUIDText(path);
}

bool FileSystem::isVirtualFile(const char *name)
{
    UGUID guid;
    if (!name || !guid.setString(name))
        return false;
    return isVirtualFile(guid);
}

bool FileSystem::isVirtualFile(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return s.initialized && guid.isValid() && s.virtual_files.count(guid) > 0;
}

bool FileSystem::isPackageFile(const UGUID &)
{
    return false;
}

String FileSystem::resolvePartialVirtualPath(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    const String unchanged(path ? path : "");
    if (!checkInitialized(s, "resolvePartialVirtualPath", log) || !path || !*path || startsWithGuidPrefix(path))
        return unchanged;
    std::string suffix
            = QDir::cleanPath(QString::fromUtf8(path).replace(QLatin1Char('\\'), QLatin1Char('/'))).toStdString();
    while (!suffix.empty() && suffix[0] == '/')
        suffix.erase(0, 1);
    if (suffix.empty() || suffix == ".")
        return unchanged;
    if (s.files.count(suffix))
        return String(suffix);
    const std::string tail = "/" + suffix;
    const std::string *match = nullptr;
    for (const auto &file : s.files) {
        const std::string &candidate = file.first;
        if (candidate.size() > tail.size()
            && candidate.compare(candidate.size() - tail.size(), tail.size(), tail) == 0) {
            if (match)
                return unchanged; // ambiguous
            match = &candidate;
        }
    }
    return match ? String(*match) : unchanged;
}

Vector<String> FileSystem::getFiles()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    Vector<String> result;
    result.reserve(int(s.files.size()));
    for (const auto &file : s.files)
        result.append(String(file.first));
    return result;
}

namespace engine_internal {

std::vector<String> filesWithExtension(const char *extension)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    std::vector<String> result;
    s.files.forEachWithExtension(extension, [&result](const std::string &path) { result.emplace_back(path); });
    return result;
}

void registerVirtualFiles(const std::vector<std::pair<UGUID, UGUID>> &files)
{
    FsState &s = state();
    std::vector<UGUID> refused;
    {
        std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
        if (!s.initialized) {
            locker.unlock();
            for (const auto &file : files)
                FileSystem::registerVirtualFile(file.first, file.second);
            return;
        }
        s.virtual_files.reserve(s.virtual_files.size() + files.size());
        for (const auto &file : files) {
            if (file.first.isEmpty() || s.by_guid.count(file.first))
                refused.push_back(file.first);
            else
                s.virtual_files[file.first] = file.second;
        }
    }
    for (const UGUID &guid : refused)
        Log::warning("FileSystem::registerVirtualFile(): the GUID %s is empty or names a file\n",
                     guid.getString().get());
}

} // namespace engine_internal

int FileSystem::getNumFiles()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return int(s.files.size());
}

int FileSystem::getNumGUIDsDbEntries()
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return s.guids_db_entries;
}

bool FileSystem::addFile(const char *path, const UGUID &guid)
{
    FsState &s = state();
    std::string relative;
    QString data_path;
    {
        DeferredLog log;
        std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
        if (!checkInitialized(s, "addFile", log))
            return false;
        relative = toRelative(s, path);
        data_path = s.data_path;
    }
    if (relative.empty() || isMetaPath(relative)) {
        Log::warning("FileSystem::addFile(): \"%s\" is not a file of the data folder\n", path ? path : "");
        return false;
    }
    const bool runtime = isRuntimePath(relative);
    Record record;
    UGUID owner;
    UGUID chosen = guid;
    const QString meta_path = data_path + QString::fromStdString(relative) + QLatin1String(".meta");
    if (QFileInfo(meta_path).isFile()) {
        const MetaInfo meta = readMeta(meta_path, relative);
        if (meta.readable) {
            if (chosen.isEmpty())
                chosen = meta.guid;
            record.asset = meta.is_asset && !runtime && chosen == meta.guid;
            if (!meta.is_asset)
                owner = meta.owner;
        }
    }

    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!s.initialized || s.data_path != data_path)
        return false;
    auto used = chosen.isValid() ? s.by_guid.find(chosen) : s.by_guid.end();
    if ((used != s.by_guid.end() && used->second->first != relative)
        || (chosen.isValid() && s.virtual_files.count(chosen))) {
        log.warning("FileSystem::addFile(): the GUID %s of \"%s\" is already used\n", chosen.getString().get(),
                    relative.c_str());
        return false;
    }
    auto old = s.files.find(relative);
    if (old != s.files.end()) {
        s.by_guid.erase(old->second.guid);
        s.owners.erase(old->second.guid);
        s.files.erase(old);
    }
    if (chosen.isEmpty())
        chosen = freePathGUID(s.by_guid, s.virtual_files, relative);
    record.guid = chosen;
    const FileTable::iterator entry = s.files.insert(relative);
    entry->second = record;
    s.by_guid[chosen] = entry;
    if (!owner.isEmpty())
        s.owners[chosen] = owner;
    s.scan.reset();
    return true;
}

bool FileSystem::removeFile(const char *path)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "removeFile", log))
        return false;
    const auto *file = findFile(s, path);
    if (!file)
        return false;
    const std::string relative = file->first;
    s.by_guid.erase(file->second.guid);
    s.owners.erase(file->second.guid);
    s.files.erase(relative);
    s.scan.reset();
    return true;
}

bool FileSystem::removeFile(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "removeFile", log))
        return false;
    auto it = s.by_guid.find(guid);
    if (guid.isEmpty() || it == s.by_guid.end())
        return false;
    s.files.erase(it->second);
    s.by_guid.erase(it);
    s.owners.erase(guid);
    s.scan.reset();
    return true;
}

bool FileSystem::moveFile(const char *from, const char *to)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "moveFile", log))
        return false;
    const auto *file = findFile(s, from);
    const std::string target = toRelative(s, to);
    if (!file || target.empty() || isMetaPath(target))
        return false;
    const std::string source = file->first;
    if (source == target)
        return true;
    if (s.files.count(target)) {
        log.warning("FileSystem::moveFile(): \"%s\" is already indexed\n", target.c_str());
        return false;
    }
    Record record = file->second;
    if (isRuntimePath(target))
        record.asset = false;
    s.files.erase(source);
    const FileTable::iterator entry = s.files.insert(target);
    entry->second = record;
    s.by_guid[record.guid] = entry;
    s.scan.reset();
    return true;
}

bool FileSystem::registerVirtualFile(const UGUID &guid, const UGUID &owner)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!checkInitialized(s, "registerVirtualFile", log))
        return false;
    if (guid.isEmpty() || s.by_guid.count(guid)) {
        log.warning("FileSystem::registerVirtualFile(): the GUID %s is empty or names a file\n",
                    guid.getString().get());
        return false;
    }
    s.virtual_files[guid] = owner;
    return true;
}

bool FileSystem::unregisterVirtualFile(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    return s.virtual_files.erase(guid) > 0;
}

UGUID FileSystem::getVirtualFileOwner(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    auto it = s.virtual_files.find(guid);
    return it == s.virtual_files.end() ? UGUID() : it->second;
}

std::shared_ptr<MetaScan> MetaScan::takeFromFileSystem(const char *data_path)
{
    FsState &s = state();
    DeferredLog log;
    std::unique_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!s.initialized || !s.scan || !data_path || !*data_path)
        return nullptr;
    QString path = QDir::cleanPath(QString::fromUtf8(data_path));
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    if (path != s.data_path)
        return nullptr;
    return std::move(s.scan);
}

bool FileSystemAssets::isAsset(const UGUID &guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (!s.initialized || guid.isEmpty())
        return false;
    auto it = s.by_guid.find(guid);
    if (it == s.by_guid.end())
        return false;
    return it->second->second.asset;
}

UGUID FileSystemAssets::getAssetGUID(const UGUID &guid)
{
    return isAsset(guid) ? guid : UGUID();
}

UGUID FileSystemAssets::getRuntimeOwner(const UGUID &runtime_guid)
{
    FsState &s = state();
    DeferredLog log;
    std::shared_lock<engine_internal::SpreadSharedMutex> locker(s.lock);
    if (runtime_guid.isEmpty() || !s.by_guid.count(runtime_guid))
        return UGUID();
    auto it = s.owners.find(runtime_guid);
    return it == s.owners.end() ? UGUID() : it->second;
}

} // namespace Velmora
