#include "file_system_index.h"

#include "velmora/Log.h"
#include "velmora/LogHold.h"
#include "velmora/Xml.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <future>
#include <map>

namespace Velmora {
namespace engine_internal {
namespace fs {

// What a meta file says, from the scan's record; one warning for a wrong
// root or a broken GUID.
MetaInfo metaInfo(const MetaRecord &record)
{
    MetaInfo info;
    if (!record.loaded)
        return info;
    if (record.root() != "asset" && record.root() != "runtime") {
        Log::warning("FileSystem: \"%s.meta\" has the root <%s>, not <asset> or <runtime>\n", record.path().data(),
                     record.root().data());
        return info;
    }
    if (!record.guidValue(info.guid) || info.guid.isEmpty()) {
        Log::warning("FileSystem: \"%s.meta\" has a broken GUID \"%s\"; the file gets its path GUID\n",
                     record.path().data(), record.guid().data());
        info.guid.clear();
        return info;
    }
    info.readable = true;
    info.is_asset = record.root() == "asset";
    if (!info.is_asset)
        info.owner.setString(record.owner().data());
    return info;
}

// Reads "<file>.meta" (absolute path); one warning for a broken GUID.
MetaInfo readMeta(const QString &meta_path, const std::string &relative)
{
    MetaRecord record;
    Xml xml;
    if (!xml.load(meta_path.toUtf8().constData()))
        return MetaInfo();
    record.loaded = true;
    record.setTexts(relative, xml.getName(), xml.getArg("guid"), xml.getArg("asset"), std::string_view());
    return metaInfo(record);
}

// guids.db: a JSON object GUID text -> data-relative path.

// Path GUID that no other file uses yet.
UGUID freePathGUID(const GuidMap &by_guid, const std::unordered_map<UGUID, UGUID> &virtual_files,
                   const std::string &relative)
{
    const UGUID first = UGUID::fromPath(relative.c_str());
    UGUID guid = first;
    for (int i = 1; by_guid.count(guid) || virtual_files.count(guid); i++)
        guid = UGUID::derive(first, std::to_string(i).c_str());
    return guid;
}

namespace {

// guids.db: a JSON object GUID text -> data-relative path.
std::map<std::string, UGUID> readGuidsDb(const QString &data_path, int &entries)
{
    std::map<std::string, UGUID> by_path;
    entries = 0;
    QFile file(data_path + QLatin1String("guids.db"));
    if (!file.exists())
        return by_path;
    if (!file.open(QIODevice::ReadOnly)) {
        Log::warning("FileSystem: can't read \"%s\"\n", file.fileName().toUtf8().constData());
        return by_path;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        Log::warning("FileSystem: \"%s\" is not a JSON object; it is ignored\n", file.fileName().toUtf8().constData());
        return by_path;
    }
    const QJsonObject object = document.object();
    int bad = 0;
    for (auto it = object.begin(); it != object.end(); ++it) {
        UGUID guid;
        const QString path = QDir::cleanPath(it.value().toString());
        if (!guid.setString(it.key().toUtf8().constData()) || guid.isEmpty() || path.isEmpty()
            || !it.value().isString()) {
            bad++;
            continue;
        }
        entries++;
        by_path.emplace(path.toStdString(), guid);
    }
    if (bad)
        Log::warning("FileSystem: %d entries of guids.db are broken and ignored\n", bad);
    return by_path;
}

// Builds the index in phases. The table by path is built from the listing
// (sorted by bytes, as the table is) on a thread of its own, while this
// thread claims the GUIDs in path order; the records in the table get their
// GUIDs once both are done. What each file's meta file says is worked out
// in runs of files on other threads (for a large project) while the claims
// follow run by run. The lines logged for a file (few files have any) are
// held and written before its claim, in the order one pass would write
// them.
class IndexBuilder
{
public:
    IndexBuilder(const QString &data_path, bool read_guids_db, const std::unordered_map<UGUID, UGUID> &virtual_files,
                 bool notify)
        : data_path_(data_path)
        , read_guids_db_(read_guids_db)
        , virtual_files_(virtual_files)
        , notify_(notify)
    {}

    Index build()
    {
        readFolder();
        listFiles();
        prepareRuns();
        startReleasing();
        startFactMakers();
        claimGuids();
        joinFactMakers();
        fillTable();
        return std::move(index_);
    }

private:
    // What a file's meta file says, then (once claimed) what its record
    // takes.
    struct Facts
    {
        UGUID guid;
        bool readable = false;
        bool is_asset = false;
        bool runtime = false; // below .runtimes/
    };

    static constexpr size_t CHUNK = 256;
    static constexpr size_t PARALLEL_FROM = 4096;
    // Claims and table entries lie all over memory: later ones are asked
    // for this far ahead.
    static constexpr size_t AHEAD = 16;

    // guids.db, the read of the folder, the table thread, and the read's
    // listeners told.
    void readFolder()
    {
        if (read_guids_db_)
            db_ = readGuidsDb(data_path_, index_.guids_db_entries);
        index_.scan = MetaScan::read(data_path_.toStdString());
        // It reads the meta files' paths only to pass them by; once it is
        // past them, they may go.
        auto fill = [this] {
            const std::vector<uint32_t> &records = index_.scan->file_records;
            index_.files.fillSorted(
                    index_.scan->files, [&records](size_t i) { return records[i] != MetaScan::META_FILE; },
                    table_entries_);
            listed_.set_value();
        };
        if (!table_.start(fill))
            fill();
        if (notify_) {
            // Held while the GUIDs are claimed, so that a listener that has
            // made what it needs of the records cannot drop them before.
            records_ = index_.scan->shareRecords();
            MetaScan::notifyRead(index_.scan);
        }
    }

    // The files (meta files aside), in path order, each with its record:
    // the listing found both, so no path is read here.
    void listFiles()
    {
        const MetaScan &scan = *index_.scan;
        paths_.reserve(scan.files.size() - scan.metas.size());
        path_records_.reserve(scan.files.size() - scan.metas.size());
        for (size_t f = 0; f < scan.files.size(); ++f) {
            const uint32_t record = scan.file_records[f];
            if (record == MetaScan::META_FILE)
                continue;
            paths_.push_back(&scan.files[f]);
            path_records_.push_back(record == MetaScan::NO_RECORD ? nullptr : &scan.metas[record]);
        }
    }

    void prepareRuns()
    {
        chunks_ = paths_.size() / CHUNK + 1;
        infos_.resize(paths_.size());
        extension_keys_.resize(paths_.size());
        chunk_owners_.resize(chunks_);
        chunk_lines_.resize(chunks_);
        made_.reset(new std::atomic<char>[chunks_]);
        for (size_t c = 0; c < chunks_; ++c)
            made_[c].store(0, std::memory_order_relaxed);
        makers_ = paths_.size() < PARALLEL_FROM ? 0 : std::max<size_t>(1, workerCount() - 1);
        making_.store(makers_ + 1);
    }

    static void releaseFiles(MetaScan &read)
    {
        std::vector<std::string>().swap(read.files);
        std::vector<uint32_t>().swap(read.file_records);
    }

    // The listing is not needed once the index is built, nor the records
    // once every listener has made what it needs of them (this may be the
    // last share). Dropping a large project's takes a while: not on this
    // thread, which has more to do.
    void startReleasing()
    {
        if (!notify_)
            return;
        // The listing's paths are a part of the read's memory that the
        // release thread lets go last.
        const bool started
                = index_.release_thread.start([read = index_.scan, records = records_,
                                               memory = index_.scan->shareMemory(), facts = facts_made_.get_future(),
                                               passed = listed_.get_future(), done = built_.get_future()]() mutable {
                      facts.wait();
                      records.reset();
                      // The meta files' own paths are not indexed: they go as
                      // soon as the table is past them, the others once the
                      // index is built.
                      passed.wait();
                      for (size_t f = 0; f < read->files.size(); ++f)
                          if (read->file_records[f] == MetaScan::META_FILE)
                              std::string().swap(read->files[f]);
                      done.wait();
                      releaseFiles(*read);
                      memory.reset();
                  });
        // Without it, this one lets go once the makers are done.
        if (!started)
            return;
        // The thread's copy holds the records from here on.
        records_.reset();
        releasing_ = true;
    }

    // n makers are done: the last one lets the records go.
    void leave(size_t n)
    {
        bool last = false;
        {
            std::lock_guard<std::mutex> locker(made_lock_);
            last = making_.fetch_sub(n) == n;
        }
        if (last && releasing_)
            facts_made_.set_value();
    }

    void makeFacts()
    {
        LogHold::Lines lines;
        for (size_t begin = next_chunk_.fetch_add(CHUNK); begin < paths_.size(); begin = next_chunk_.fetch_add(CHUNK)) {
            const size_t chunk = begin / CHUNK;
            for (size_t i = begin; i < std::min(paths_.size(), begin + CHUNK); ++i) {
                extension_keys_[i] = extensionKey(*paths_[i]);
                infos_[i].runtime = isRuntimePath(*paths_[i]);
                if (!path_records_[i])
                    continue;
                {
                    LogHold hold(&lines);
                    const MetaInfo info = metaInfo(*path_records_[i]);
                    infos_[i].guid = info.guid;
                    infos_[i].readable = info.readable;
                    infos_[i].is_asset = info.is_asset;
                    if (!info.owner.isEmpty())
                        chunk_owners_[chunk].emplace_back(i, info.owner);
                }
                if (!lines.empty())
                    chunk_lines_[chunk].emplace_back(i, std::move(lines));
                lines.clear();
            }
            {
                std::lock_guard<std::mutex> locker(made_lock_);
                made_[chunk].store(1, std::memory_order_release);
            }
            made_changed_.notify_one();
        }
    }

    void startFactMakers()
    {
        for (size_t t = 0; t < makers_; ++t)
            if (!pool_.start([this] {
                    makeFacts();
                    leave(1);
                }))
                break;
        // Made here when the project is small or no thread could be started.
        if (pool_.size() == 0)
            makeFacts();
        leave(makers_ - pool_.size() + 1);
    }

    void waitForRun(size_t chunk)
    {
        if (made_[chunk].load(std::memory_order_acquire))
            return;
        std::unique_lock<std::mutex> locker(made_lock_);
        made_changed_.wait(locker, [&] { return made_[chunk].load(std::memory_order_acquire) != 0; });
    }

    // Each file's GUID, in path order: guids.db's, else its meta file's,
    // else (or when taken) a free path GUID.
    void claimGuids()
    {
        // Each file adds at most one GUID, so the reserved map does not move
        // its positions.
        guid_entries_.resize(paths_.size());
        index_.by_guid.reserve(paths_.size());
        size_t next_lines = 0; // in the run's held lines and owners
        size_t next_owner = 0;
        for (size_t i = 0; i < paths_.size(); ++i) {
            const size_t chunk = i / CHUNK;
            if (i % CHUNK == 0) {
                next_lines = next_owner = 0;
                waitForRun(chunk);
            }
            if (i % CHUNK + AHEAD < CHUNK && i + AHEAD < paths_.size() && infos_[i + AHEAD].readable)
                index_.by_guid.prefetch(infos_[i + AHEAD].guid);
            if (next_lines < chunk_lines_[chunk].size() && chunk_lines_[chunk][next_lines].first == i)
                LogHold::release(chunk_lines_[chunk][next_lines++].second);
            UGUID owner;
            if (next_owner < chunk_owners_[chunk].size() && chunk_owners_[chunk][next_owner].first == i)
                owner = chunk_owners_[chunk][next_owner++].second;
            claimGuid(i, owner);
        }
    }

    void claimGuid(size_t i, const UGUID &owner)
    {
        const std::string &relative = *paths_[i];
        Facts &meta = infos_[i];
        bool asset = false;
        UGUID candidate;
        auto db_entry = db_.find(relative);
        if (db_entry != db_.end()) {
            candidate = db_entry->second;
            asset = !meta.runtime;
        } else if (meta.readable) {
            candidate = meta.guid;
            asset = meta.is_asset && !meta.runtime;
        }
        // One lookup both checks and claims the GUID.
        bool taken = false;
        if (candidate.isValid()) {
            taken = virtual_files_.count(candidate) > 0;
            if (!taken) {
                const auto claim = index_.by_guid.try_emplace(candidate);
                taken = !claim.second;
                guid_entries_[i] = &claim.first->second;
            }
        }
        if (taken) {
            Log::warning("FileSystem: \"%s\" claims the GUID %s, which is already taken; it gets its path GUID\n",
                         relative.c_str(), candidate.getString().get());
            candidate.clear();
            asset = false;
        }
        if (candidate.isEmpty()) {
            candidate = freePathGUID(index_.by_guid, virtual_files_, relative);
            guid_entries_[i] = &index_.by_guid.emplace(candidate, FileTable::iterator()).first->second;
        }
        // What the meta file says is not read again: the file's record
        // takes its place until the table is built.
        meta.guid = candidate;
        meta.is_asset = asset;
        if (!owner.isEmpty())
            index_.owners.emplace(candidate, owner);
    }

    void joinFactMakers()
    {
        pool_.join();
        std::vector<const MetaRecord *>().swap(path_records_);
        records_.reset();
    }

    // Once the table is built: each entry takes its record, each claim its
    // entry, and the table keeps its entries in path order.
    void fillTable()
    {
        table_.join();
        for (size_t i = 0; i < paths_.size(); ++i) {
            if (i + AHEAD < paths_.size()) {
                __builtin_prefetch(&*table_entries_[i + AHEAD]);
                __builtin_prefetch(guid_entries_[i + AHEAD]);
            }
            Record &record = table_entries_[i]->second;
            record.guid = infos_[i].guid;
            record.asset = infos_[i].is_asset;
            *guid_entries_[i] = table_entries_[i];
        }
        index_.files.keepOrder(std::move(table_entries_), std::move(extension_keys_));
        if (releasing_)
            built_.set_value();
        else
            releaseFiles(*index_.scan);
    }

    const QString &data_path_;
    const bool read_guids_db_;
    const std::unordered_map<UGUID, UGUID> &virtual_files_;
    const bool notify_;

    Index index_;
    std::map<std::string, UGUID> db_;
    ThreadGroup table_;
    std::vector<FileTable::iterator> table_entries_;
    std::promise<void> listed_;

    std::vector<const std::string *> paths_;
    std::vector<const MetaRecord *> path_records_;

    size_t chunks_ = 0;
    std::vector<Facts> infos_;
    // The extension of each file, for the table's searches by extension.
    std::vector<uint32_t> extension_keys_;
    // The owners that stored runtimes' side metas name are few: they are
    // held apart, by run, in path order, and so are the held lines.
    std::vector<std::vector<std::pair<size_t, UGUID>>> chunk_owners_;
    std::vector<std::vector<std::pair<size_t, LogHold::Lines>>> chunk_lines_;
    std::unique_ptr<std::atomic<char>[]> made_;
    std::mutex made_lock_;
    std::condition_variable made_changed_;
    std::atomic<size_t> next_chunk_{0};
    size_t makers_ = 0;
    // The makers still at work, and this thread until it has started them.
    std::atomic<size_t> making_{1};
    ThreadGroup pool_;

    bool releasing_ = false;
    // Held from before the listeners are told until the makers are done,
    // by this or by the release thread (see startReleasing).
    MetaRecordsShare records_;
    std::promise<void> facts_made_;
    std::promise<void> built_;

    std::vector<FileTable::iterator *> guid_entries_;
};

} // namespace

Index buildIndex(const QString &data_path, bool read_guids_db, const std::unordered_map<UGUID, UGUID> &virtual_files,
                 bool notify)
{
    if (!QFileInfo(data_path).isDir()) {
        Log::warning("FileSystem: the data folder \"%s\" does not exist\n", data_path.toUtf8().constData());
        return Index();
    }
    return IndexBuilder(data_path, read_guids_db, virtual_files, notify).build();
}

} // namespace fs
} // namespace engine_internal
} // namespace Velmora
