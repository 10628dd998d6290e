#pragma once

#include "editor_core/as/ActionType.h"
#include "editor_core/as/Asset.h"
#include "editor_core/as/GuidClaims.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QReadWriteLock>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace Velmora {
struct MetaScan;
}

namespace as {
class PrepareActionLandscape;
}

namespace Editor {

namespace core_internal {
class ThreadGroup;
}

// The asset manager: the records of every asset of the data folder (a data
// file with a meta file beside it) and their runtimes.
//
// init() and rescan() scan the data folder on the manager's own worker thread
// and never write anything. Results are applied on the GUI thread under the
// write lock; every query takes the read lock and may be called from any
// thread. Signals are emitted on the GUI thread only, always through the
// event loop (never from inside init), and init() always ends in exactly one
// initialized(), also for a missing or empty data folder.
class AssetManagerPrivate : public QObject
{
    Q_OBJECT

public:
    explicit AssetManagerPrivate(QObject *parent = nullptr);
    ~AssetManagerPrivate() override;

    // The data folder scanned when the engine is not running (tests). While
    // the engine runs, its data folder is used.
    void setRootPath(const QString &path);
    // The data folder: absolute, "/" separators, ending with "/".
    QString rootPath() const;

    void init();
    // Scans again; differences to the current records are reported through
    // added / aboutToBeRemoved / removed / changed, then end().
    void rescan();
    // Stops and joins the scan thread, drops undelivered results, empties
    // the records and releases the prepare actions.
    void shutdown();
    bool isInitialized() const;
    bool isScanning() const;

    // Tests: called on the reading threads of a scan before each run of
    // files whose records they make, with the place of the run's first file
    // in path order; null for none. Lets a test hold a scan half way.
    using ReadHook = void (*)(int first_file);
    static void setReadHookForTests(ReadHook hook);

    // Background work (rescans requested while inactive wait for activate);
    // explicit calls still work.
    void activate();
    void deactivate();
    bool isActive() const;

    // Takes ownership.
    void addPrepareAction(as::PrepareActionLandscape *action);
    int getNumPrepareActions() const;

    // Queries (read lock, any thread).
    // All records, sorted by data-relative path (case-sensitive).
    Velmora::Vector<as::Asset> assets() const;
    // Calls visit with every record, in the order of assets(), under the
    // read lock and without copying them; visit must not call back into
    // the manager's mutations.
    void forEachAsset(const std::function<void(const as::Asset &)> &visit) const;
    // The records of assets(), in its order, as an implicitly shared list:
    // mostly the manager's own list, taken without copying a record (a
    // later change of the manager then copies its list, not this one).
    QVector<as::Asset> assetList() const;
    // GUIDs of the assets directly in a folder (absolute, with or without a
    // trailing "/"), sorted by path.
    Velmora::Vector<Velmora::UGUID> assets(const QString &folder) const;
    as::Asset asset(const Velmora::UGUID &guid) const;
    // By absolute or data-relative path; a null record when none.
    as::Asset asset(const QString &path) const;
    bool hasAsset(const Velmora::UGUID &guid) const;
    // Whether the GUID names a runtime (every asset GUID names its primary).
    bool hasRuntime(const Velmora::UGUID &guid) const;
    as::Runtime runtime(const Velmora::UGUID &guid) const;
    as::Asset assetByRuntimeGUID(const Velmora::UGUID &guid) const;
    Velmora::UGUID assetGUIDByRuntimeGUID(const Velmora::UGUID &guid) const;
    // Asset type of an asset GUID; AssetType::BEGIN (0) when unknown.
    int assetType(const Velmora::UGUID &guid) const;
    // File of an asset or stored runtime (absolute); "" for virtual
    // runtimes and unknown GUIDs.
    QString filePath(const Velmora::UGUID &guid) const;
    QString filePath(const as::Asset &asset) const;
    // File name with extension of filePath(guid).
    QString fileName(const Velmora::UGUID &guid) const;
    as::FileInfo fileInfo(const Velmora::UGUID &guid) const;
    int getNumAssets() const;
    // Files that claim a GUID another file already has: the first by path
    // is the asset, each later one is left out (and named in a warning).
    QVector<as::DuplicateGuid> duplicates() const;
    // Absolute paths of the files left out because they claim a GUID of
    // this asset; empty for most assets.
    QStringList leftOutFiles(const Velmora::UGUID &guid) const;
    // Goes up by at least one whenever the records change (a scan result
    // that differs, an import, a move, a removal). A reader on another
    // thread compares two values to learn whether its view went stale.
    quint64 revision() const { return revision_.load(); }

    // Makes the folder parent/name (parent itself when name is empty) inside
    // the data folder; true when it exists afterwards.
    bool createDir(const QString &parent, const QString &name);

    // An asset that remove() kept, and why.
    struct RemovalFailure
    {
        Velmora::UGUID guid;
        QString reason;
    };

    // The one way asset files are deleted. Every GUID is checked first, all
    // or nothing: each must name an asset (not a runtime), none may be a core
    // asset, and every file of each asset must really lie inside the data
    // folder (symlinks resolved) and outside its core data. When the check
    // fails, nothing is deleted, no signal is emitted and the result is
    // false. Otherwise each asset's own files go, all or none of them: the
    // asset file, its stored runtimes with their side metas, and its meta
    // file are first moved aside under hidden names in their own folders,
    // then deleted; when one cannot be moved (a folder in its place, a
    // read-only folder, even for a user who could override it, a busy file,
    // an I/O error) the ones moved are put back and the asset stays whole.
    // Each asset kept is logged and, when failures is given, appended to it.
    // Then aboutToBeRemoved and removed are emitted for every removed asset
    // in list order (records dropped in between), and one end() follows
    // through the event loop, after remove has returned. True when the check
    // passed, also when some assets were kept. GUI thread only.
    bool remove(const Velmora::Vector<Velmora::UGUID> &guids, QVector<RemovalFailure> *failures = nullptr);
    // The check above, asset by asset: the GUIDs that remove() would refuse,
    // each with why. Any thread.
    QHash<Velmora::UGUID, QString> removalRefusals(const Velmora::Vector<Velmora::UGUID> &guids) const;
    // Tests: asked with each file of a removal before it is moved aside;
    // answering true makes that move fail as an I/O error would.
    void setRemovalFaultForTests(std::function<bool(const QString &file)> fails) { removal_fault_ = std::move(fails); }

    // Makes a file of the visible data folder (absolute or data-relative
    // path) an asset: writes its meta file with a new GUID and the import
    // parameters (a file that is an asset already keeps its GUID and gets
    // the new parameters), adds the record and the engine file-system entry,
    // then emits added (or changed) and end. The empty GUID, with one
    // warning, for a missing file or a path outside the data folder.
    Velmora::UGUID importSync(const QString &path, const QVariantMap &params = QVariantMap());

    // Not available yet (later work on file operations): these are declared
    // for the callers' sake and have no definition.
    bool reimportSync(const Velmora::UGUID &guid, const QVariantMap &params);
    Velmora::UGUID copySync(const Velmora::UGUID &guid, const QString &path, int mode);
    bool move(const Velmora::UGUID &guid, const QString &new_path);
    bool moveDir(const QString &from, const QString &to);
    bool setExcluded(const Velmora::UGUID &guid, bool excluded);

signals:
    void progress(int percent);
    void pipeline_started(as::ActionType type, const QString &text);
    void pipeline_ended(as::ActionType type, const QString &text);
    void validateFailed(const as::Asset &asset);
    void initialized();
    void added(const Velmora::UGUID &guid);
    void aboutToBeRemoved(const Velmora::UGUID &guid);
    void removed(const Velmora::UGUID &guid);
    void moved(const Velmora::UGUID &guid);
    void changed(const Velmora::UGUID &guid);
    void end();
    void dirRemoved(const QFileInfo &info);
    void dirMoved(const QString &from, const QString &to);

private:
    struct ScanResult;
    struct Index;
    // Records made from the engine's read of the data folder while the
    // engine goes on starting, for the first scan to take.
    struct Prepared;

    void prepare(const std::shared_ptr<const Velmora::MetaScan> &scan);

    void startScan(bool initial);
    void stopScan();
    void applyScan(quint64 generation, const std::shared_ptr<ScanResult> &result);
    QString currentRoot() const;
    // Drops the records of these assets (one pass over all records).
    void eraseRecords(const QSet<Velmora::UGUID> &guids);
    void joinReleasing();

    mutable QReadWriteLock lock_;
    std::atomic<quint64> revision_{0};
    std::unique_ptr<Index> index_;

    QString root_override_;
    // The scan's thread; kept (empty) while a scan the system gave no
    // thread runs on the GUI thread.
    std::unique_ptr<core_internal::ThreadGroup> scan_thread_;
    std::shared_ptr<std::atomic<bool>> scan_cancel_;
    quint64 generation_ = 0;
    bool initialized_ = false;
    // An init() whose initialized() has not been emitted yet: a scan that
    // replaces it still ends in initialized().
    bool initial_pending_ = false;
    // pipeline_started was emitted and pipeline_ended not yet.
    bool pipeline_open_ = false;
    bool active_ = true;
    std::vector<std::unique_ptr<as::PrepareActionLandscape>> prepare_actions_;
    int read_listener_ = 0;
    std::shared_ptr<Prepared> prepared_; // made, not taken by a scan yet
    std::shared_ptr<Prepared> taken_; // taken by the running scan
    // Lets go of the engine's read's records after the first scan took
    // what it made from them.
    std::unique_ptr<core_internal::ThreadGroup> releasing_;
    std::function<bool(const QString &file)> removal_fault_;
};

} // namespace Editor
