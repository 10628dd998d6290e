// The file system's index of a data folder, built from one read of it.
// Internal to the file system (file_system.cpp).
#pragma once

#include "file_system_table.h"

#include "velmora/MetaScan.h"

#include <QString>

#include <memory>
#include <string>
#include <unordered_map>

namespace Velmora {
namespace engine_internal {
namespace fs {

struct MetaInfo
{
    UGUID guid;
    bool readable = false;
    bool is_asset = false;
    UGUID owner;
};

// What a meta file says, from the scan's record; one warning for a wrong
// root or a broken GUID.
MetaInfo metaInfo(const MetaRecord &record);

// Reads "<file>.meta" (absolute path); one warning for a broken GUID.
MetaInfo readMeta(const QString &meta_path, const std::string &relative);

// Path GUID that no other file uses yet.
UGUID freePathGUID(const GuidMap &by_guid, const std::unordered_map<UGUID, UGUID> &virtual_files,
                   const std::string &relative);

struct Index
{
    std::shared_ptr<MetaScan> scan;
    engine_internal::ThreadGroup release_thread;
    FileTable files;
    GuidMap by_guid;
    std::unordered_map<UGUID, UGUID, GuidHash> owners;
    int guids_db_entries = 0;
};

// Reads the data folder without holding the file system's lock.
// notify: tell MetaScan's read listeners of the read (init only).
Index buildIndex(const QString &data_path, bool read_guids_db, const std::unordered_map<UGUID, UGUID> &virtual_files,
                 bool notify);

} // namespace fs
} // namespace engine_internal
} // namespace Velmora
