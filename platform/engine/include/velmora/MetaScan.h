#pragma once

#include "velmora/LogHold.h"
#include "velmora/UGUID.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Velmora {

// One read of a data folder: every file the engine file system indexes and,
// for each file that has a meta file beside it, what that meta file says.
// The file system makes it at init (listing the folders once and reading
// every meta file once, on several threads) and builds its index from it;
// the editor-core asset manager takes it for its first scan, so that no
// meta file is read twice while the editor starts.

struct MetaRuntime
{
    std::string guid;
    int kind = 0;
    std::string name;
    std::string ext;
};

struct MetaMapper
{
    std::string name;
    std::vector<std::pair<std::string, std::string>> files; // key, data-relative path, in file order
};

// Children of a meta file's root that few files have: <runtime> elements
// and the <import> element's <param> and <mapper> elements, in file order.
struct MetaExtra
{
    std::vector<MetaRuntime> runtimes;
    std::vector<std::pair<std::string, std::string>> params; // name, text
    std::vector<MetaMapper> mappers;
};

// What one meta file says. A read holds one per file of a large project,
// so its texts share one block of their own (each ending with a 0 byte, so
// that data() of each view is a C string) and the children of the root
// that few files have are kept apart.
class MetaRecord
{
public:
    bool visible = true; // no component of path starts with "."
    bool link = false; // the file itself is a symbolic link
    bool loaded = false; // the meta file was read and is well-formed XML
    bool has_type = false; // the root has a "type" attribute
    int type = 0; // its value as a number (0 when it is none)
    int excluded = 0;

    // Data-relative path of the file the meta file describes.
    std::string_view path() const { return text(0, root_); }
    // Name of its root element.
    std::string_view root() const { return text(root_, guid_); }
    // The root's "guid" attribute.
    std::string_view guid() const { return text(guid_, owner_); }
    // The root's "asset" attribute (side meta files of stored runtimes).
    std::string_view owner() const { return text(owner_, type_text_); }
    // The root's "type" attribute as written.
    std::string_view typeText() const { return text(type_text_, end_); }
    // The "guid" attribute read as UGUID::setString reads a text: false
    // (guid cleared) when it is no GUID.
    bool guidValue(UGUID &guid) const;

    void setPath(std::string_view path);
    // Sets every text at once (path included); any of them may be one of
    // this record's own.
    void setTexts(std::string_view path, std::string_view root, std::string_view guid, std::string_view owner,
                  std::string_view type_text);

    const std::vector<MetaRuntime> &runtimes() const;
    const std::vector<std::pair<std::string, std::string>> &params() const;
    const std::vector<MetaMapper> &mappers() const;
    // The children, made when first asked for.
    MetaExtra &extra();

private:
    // Each text runs from its offset to the next one's (the last to end_),
    // its 0 byte included.
    std::string_view text(uint32_t begin, uint32_t next) const
    {
        return texts_ ? std::string_view(texts_.get() + begin, next - begin - 1) : std::string_view("", 0);
    }

    std::unique_ptr<char[]> texts_;
    uint32_t root_ = 0, guid_ = 0, owner_ = 0, type_text_ = 0, end_ = 0;
    std::unique_ptr<MetaExtra> extra_;
};

// A share of a read's records (see MetaScan::shareRecords). Copies are
// shares too; a default one holds nothing.
class MetaRecordsShare
{
public:
    MetaRecordsShare() = default;
    // What its holder made of the records serves in their place: they may
    // go once the last share has gone.
    void serve() const;
    // Lets go of the share (as the destructor does).
    void reset() { keeper_.reset(); }
    explicit operator bool() const { return bool(keeper_); }

private:
    friend struct MetaScan;
    struct Keeper;
    std::shared_ptr<Keeper> keeper_;
};

struct MetaScan : std::enable_shared_from_this<MetaScan>
{
    std::string data_path; // absolute, cleaned, ending with "/"
    // Every file below the data folder outside hidden folders (".runtimes"
    // at the top level excepted), meta files included, data-relative,
    // sorted by bytes. The file system empties it once its index is built.
    std::vector<std::string> files;
    // One record per listed file (not itself a meta file) whose meta file
    // is listed too, in the order of files.
    std::vector<MetaRecord> metas;
    // For each of files, in the same order: the index in metas of its
    // record, or one of the marks below. The listing finds them, so that a
    // reader that walks the files need not compare their paths; emptied
    // with files.
    static constexpr uint32_t META_FILE = UINT32_MAX; // itself a meta file
    static constexpr uint32_t NO_RECORD = UINT32_MAX - 1;
    std::vector<uint32_t> file_records;
    // Every listed folder ("" for the data folder itself) with the time of
    // its last change (nanoseconds) when it was listed.
    std::vector<std::pair<std::string, int64_t>> folders;
    // Entries of the listed folders (files, folders and links alike, names
    // starting with "." left out) whose names hold a byte above 127,
    // data-relative, sorted by bytes: the few names a caller may have to
    // check for valid UTF-8, without listing the folders again.
    std::vector<std::string> non_ascii_names;
    // Hidden entries of the listed folders that carry the program's own
    // names (OwnNames) of what it keeps for a while: plain files (no links)
    // that are temporary files of checked writes, kept earlier contents or
    // journals, and folders (no links) that are scratch folders;
    // data-relative, folders ending with "/", sorted by bytes. What a
    // process killed meanwhile leaves behind is among them. The read only
    // lists them: whether one is left over is for its maker to tell.
    std::vector<std::string> marked_leftovers;

    // Reads data_path (absolute, ending with "/"). Parse errors of meta
    // files are logged in the order of the files. A read begun ahead of
    // it (readAhead) is taken instead when it is of the same folder and
    // still current, its parse errors logged now; it is dropped otherwise.
    static std::shared_ptr<MetaScan> read(const std::string &data_path);

    // Reading ahead: a program that knows its data folder before its engine
    // starts (the editor, while Qt sets up its windows) reads it on threads
    // of its own from then on; the engine's read takes the result (see
    // read). At most one read ahead at a time: a new one drops the last.
    static void readAhead(const std::string &data_path);
    // Reads ahead the data folder that Engine::init would read given these
    // arguments (-binaries_path, -data_path and the default folder).
    static void readAheadForEngine(int argc, char **argv);
    // Waits until the read ahead (if any) is done; read does not need this.
    static void waitReadAhead();
    // Waits for the read ahead (if any) and drops it: a program that ends
    // before its engine read the folder calls this before it ends.
    static void dropReadAhead();
    // Reads the meta file of record.path (data-relative) into record; a
    // meta file that does not load leaves loaded false (Xml::load logs why).
    static void readRecord(const std::string &data_path, MetaRecord &record);
    // Whether no listed folder has changed since (a file added, removed or
    // renamed changes its folder's time).
    bool isCurrent() const;

    // The scan the file system made at init, once, when it is of the data
    // folder data_path (absolute, with or without the final "/") and the
    // file system has not changed its index since; null otherwise.
    static std::shared_ptr<MetaScan> takeFromFileSystem(const char *data_path);

    // Listeners told of the scan the file system makes at init as soon as
    // it is read, before the index is built from it, on the thread that
    // runs init (under a lock: a listener only starts its own work). They
    // may read the scan on any thread while it lives, but never change it;
    // a listener that reads the records takes a share of them (see shareRecords).
    using ReadListener = std::function<void(const std::shared_ptr<const MetaScan> &scan)>;
    // An id for removeReadListener.
    static int addReadListener(ReadListener listener);
    static void removeReadListener(int id);
    // Tells the listeners (the file system's init).
    static void notifyRead(const std::shared_ptr<const MetaScan> &scan);

    // The records are the larger part of a read; once everything made from
    // them is made, they can go before the scan does. Each reader that may
    // let them go takes a share of them while it reads (the file system's
    // init before it tells the listeners, a listener from inside the
    // listener). Once the last share has gone, and one holder said that
    // what it made of them serves, metas is emptied and the memory it held
    // given back to the system, on the thread that let go of the last share.
    // A reader that may still need them holds no share. Once the records
    // are gone, the share given is empty.
    MetaRecordsShare shareRecords() const;
    // Whether metas was emptied so: the records then have to be read again.
    bool recordsReleased() const;
    // Giving the freed memory back to the system walks the whole heap and
    // holds each arena meanwhile, so it is done once, when the last share
    // of the read's memory goes, and only if the records went: each share
    // of the records holds one, and a holder of another part of the read
    // that it lets go early (the file system, the listing) holds one of its
    // own until that part is gone.
    std::shared_ptr<const void> shareMemory() const;

private:
    // ahead: the read begun by readAhead (its lines held until it is taken).
    static std::shared_ptr<MetaScan> readFolder(const std::string &data_path, bool ahead);
    // shareMemory under share_mutex_.
    std::shared_ptr<const void> memoryShare() const;

    // Parse errors of a read ahead, in path order, until it is taken.
    std::vector<LogHold::Lines> held_lines_;
    // The live shares (see shareRecords and shareMemory), weakly: they
    // end by themselves. Under share_mutex_, as is the release of metas.
    mutable std::mutex share_mutex_;
    mutable std::weak_ptr<MetaRecordsShare::Keeper> records_keeper_;
    mutable std::weak_ptr<const void> memory_;
    mutable std::atomic<bool> records_released_{false};

    friend class MetaRecordsShare;
};

} // namespace Velmora
