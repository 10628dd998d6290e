#pragma once

#include "velmora/String.h"
#include "velmora/UGUID.h"
#include "velmora/Vector.h"

namespace Velmora {

// The engine's index of the data folder: every file outside hidden (dot)
// folders, plus the stored runtimes under ".runtimes/". "*.meta" files are
// never files themselves.
//
// GUID of each file, first rule that gives one (files in path order):
//   1. the entry of "<data>/guids.db" (a JSON object GUID text -> data-relative
//      path) unless init was told to skip it;
//   2. the "guid" attribute of the file's meta file "<file>.meta" (root
//      <asset> for an asset, <runtime> for a stored runtime);
//   3. UGUID::fromPath(data-relative path).
// A meta file with a broken GUID gives one warning and the file falls back
// to its path GUID. A GUID claimed by an earlier file (in path order) gives
// one warning and the later file falls back to its path GUID.
//
// Virtual files are GUIDs without a file of their own (the material and
// property runtimes of assets); their path reads "guid://<hex>".
//
// Paths given to queries may be data-relative, absolute inside the data
// folder, or "guid://<hex>". Data-relative paths use "/" and no leading "/"
// and are case-sensitive. Queries read only the index (never the disk) and
// are thread-safe; mutations (addFile, removeFile, moveFile, virtual files)
// are meant for the GUI thread. Before init and after shutdown every query
// gives an empty result.
class FileSystem
{
public:
    // Indexes the data folder (UTF-8; a trailing "/" is optional). A missing
    // folder gives one warning, an empty index and false; the file system is
    // initialised in both cases.
    static bool init(const char *data_path, bool read_guids_db = true);
    static void shutdown();
    static bool isInitialized();
    // Indexes the data folder again (same options).
    static bool rescan();

    // Absolute, cleaned, ending with "/"; "" before init.
    static String getDataPath();

    // GUID of a known file or virtual file; empty when unknown.
    static UGUID getGUID(const char *path);
    static bool isFileExist(const UGUID &guid);
    static bool isFileExist(const char *path);
    // Absolute path of a known file; "" when unknown or virtual.
    static String getAbsolutePath(const UGUID &guid);
    static String getAbsolutePath(const char *path);
    // Data-relative path of a known file, "guid://<hex>" for a virtual file,
    // "" when unknown.
    static String getVirtualPath(const UGUID &guid);
    // Data-relative form of a path: a guid path gives its known file ("" when
    // unknown); an absolute or relative path inside the data folder gives its
    // cleaned data-relative form (indexed or not); "" when outside.
    static String getVirtualPath(const char *path);
    // Whether the text reads "guid://" followed by a GUID.
    static bool isGUIDPath(const char *path);
    // Whether name (a GUID path or GUID text) is a registered virtual file.
    static bool isVirtualFile(const char *name);
    static bool isVirtualFile(const UGUID &guid);
    // There are no packages: always false.
    static bool isPackageFile(const UGUID &guid);
    // The single indexed file whose data-relative path ends with path at a
    // "/" boundary (or equals it); otherwise path unchanged.
    static String resolvePartialVirtualPath(const char *path);

    // All indexed data-relative paths, sorted.
    static Vector<String> getFiles();
    static int getNumFiles();
    // Entries read from guids.db by the last init.
    static int getNumGUIDsDbEntries();

    // Adds (or re-indexes) a file. guid empty: the meta file's GUID when
    // readable, else the path GUID. false for a path outside the data folder,
    // a meta file, or a GUID used by another file (one warning).
    static bool addFile(const char *path, const UGUID &guid = UGUID());
    static bool removeFile(const char *path);
    static bool removeFile(const UGUID &guid);
    // Moves an entry, keeping its GUID; false when from is unknown or to is
    // taken by another file.
    static bool moveFile(const char *from, const char *to);

    // Virtual runtime owned by an asset (owner may be empty).
    static bool registerVirtualFile(const UGUID &guid, const UGUID &owner = UGUID());
    static bool unregisterVirtualFile(const UGUID &guid);
    // Owner given at registration; empty when unknown.
    static UGUID getVirtualFileOwner(const UGUID &guid);
};

// Asset queries of the engine file system: an asset is an indexed file
// outside ".runtimes/" whose GUID came from its asset meta file or from
// guids.db.
class FileSystemAssets
{
public:
    static bool isAsset(const UGUID &guid);
    // The asset's file GUID, which is the same GUID; empty when guid is not
    // an asset.
    static UGUID getAssetGUID(const UGUID &guid);
    // The owning asset of a stored runtime file (its side meta's "asset");
    // empty when unknown.
    static UGUID getRuntimeOwner(const UGUID &runtime_guid);
};

} // namespace Velmora
