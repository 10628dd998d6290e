// The scan: made on a thread of its own (or taken from the records made
// while the engine started) and applied on the GUI thread, with the
// differences to the records before it told.

#include "AssetManagerPrivateIndex.h"

#include <velmora/Log.h>
#include <velmora/LogHold.h>
#include <velmora/MetaScan.h>

#include <QCoreApplication>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace Editor {

using asset_records::cleanFolder;

namespace {

const char *const SCAN_TEXT = "Scanning assets";

} // namespace

struct AssetManagerPrivate::Prepared
{
    QString root;
    std::shared_ptr<const Velmora::MetaScan> scan;
    // Held while thread reads the read's records.
    Velmora::MetaRecordsShare records;
    std::atomic<bool> cancel{false};
    std::shared_ptr<ScanResult> result;
    core_internal::ThreadGroup thread;
    // Lets go of the share of the read's records once the records here are
    // made (started by thread, see prepare).
    std::unique_ptr<core_internal::ThreadGroup> releasing;

    // How far thread has made the records, for the scan that takes them
    // (see followProgress).
    std::mutex progress_mutex;
    std::condition_variable progress_changed;
    int percent = 0;
    bool finished = false;

    void setPercent(int value)
    {
        {
            std::lock_guard<std::mutex> locker(progress_mutex);
            percent = value;
        }
        progress_changed.notify_all();
    }
    void finish()
    {
        {
            std::lock_guard<std::mutex> locker(progress_mutex);
            finished = true;
        }
        progress_changed.notify_all();
    }
    // Hands each new value of percent on to report, until thread has
    // finished (or been cancelled). Values reached before the call come as
    // one, the latest.
    void followProgress(const ScanResult::Progress &report)
    {
        int reported = 0;
        std::unique_lock<std::mutex> locker(progress_mutex);
        for (;;) {
            progress_changed.wait(locker, [&] { return finished || percent != reported; });
            const int now = percent;
            const bool done = finished;
            if (now != reported) {
                reported = now;
                locker.unlock();
                report(now);
                locker.lock();
            }
            if (done)
                return;
        }
    }

    ~Prepared()
    {
        cancel = true;
        thread.join();
        releasing.reset();
    }
};

void AssetManagerPrivate::joinReleasing()
{
    releasing_.reset();
}

void AssetManagerPrivate::init()
{
    if (initialized_ || scan_thread_)
        Velmora::Log::warning("Asset manager: init while already initialised; scanning again\n");
    startScan(true);
}

void AssetManagerPrivate::rescan()
{
    startScan(false);
}

bool AssetManagerPrivate::isInitialized() const
{
    return initialized_;
}

bool AssetManagerPrivate::isScanning() const
{
    return scan_thread_ != nullptr;
}

void AssetManagerPrivate::prepare(const std::shared_ptr<const Velmora::MetaScan> &scan)
{
    // Only the first scan takes it; a newer read replaces an older one.
    if (initialized_ || scan_thread_ || !scan)
        return;
    auto prepared = std::make_shared<Prepared>();
    prepared->root = cleanFolder(QString::fromStdString(scan->data_path));
    prepared->scan = scan;
    prepared->records = scan->shareRecords();
    Prepared *raw = prepared.get();
    // The records made are all that is needed of the read's records: they
    // may go then rather than with the scan. Freeing them (and handing their
    // memory back to the system) takes long, and the scan need not wait for
    // it: the share goes on a thread of its own, joined when the prepared
    // records go (or after the first scan, see applyScan).
    auto read_done = [raw] {
        raw->records.serve();
        raw->releasing = std::make_unique<core_internal::ThreadGroup>();
        // Without a thread the share went here, with the thread's function.
        raw->releasing->start([share = std::move(raw->records)]() mutable { share.reset(); });
    };
    const bool started = prepared->thread.start([raw, read_done] {
        raw->result = ScanResult::compute(raw->root, raw->scan, raw->cancel, read_done,
                                          [raw](int percent) { raw->setPercent(percent); });
        raw->finish();
    });
    if (!started)
        return; // the first scan makes its records itself
    prepared_ = std::move(prepared);
}

void AssetManagerPrivate::startScan(bool initial)
{
    stopScan();
    initial = initial || initial_pending_;
    initial_pending_ = initial;
    const quint64 generation = ++generation_;
    const QString root = currentRoot();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    scan_cancel_ = cancel;
    const QString text = QCoreApplication::translate("Editor::AssetManagerPrivate", SCAN_TEXT);
    // The engine has just read the data folder for its file system: its
    // read serves here too, unless a folder has changed since.
    std::shared_ptr<const Velmora::MetaScan> engine_scan
            = root.isEmpty() ? nullptr : Velmora::MetaScan::takeFromFileSystem(root.toUtf8().constData());
    // The records made from that read while the engine started serve when
    // they are of this very read.
    std::shared_ptr<Prepared> prepared = std::move(prepared_);
    if (prepared && (!engine_scan || prepared->scan != engine_scan || prepared->root != root))
        prepared.reset(); // cancelled and joined
    taken_ = prepared;

    // Even the first signal goes through the event loop: never from inside
    // init().
    QMetaObject::invokeMethod(
            this,
            [this, generation, text] {
                if (generation != generation_)
                    return;
                // A scan replaced before it ended still closes its pipeline.
                if (pipeline_open_)
                    emit pipeline_ended(as::ActionType::Scan, text);
                pipeline_open_ = true;
                emit pipeline_started(as::ActionType::Scan, text);
            },
            Qt::QueuedConnection);

    auto scan = std::make_shared<std::function<void()>>(
            [this, generation, root, cancel, initial, text, engine_scan, prepared]() mutable {
                // The splash shows how far the records are made while they are
                // made; the values only rise.
                int posted = 0;
                const ScanResult::Progress post = [this, generation, &posted](int percent) {
                    if (percent <= posted)
                        return;
                    posted = percent;
                    QMetaObject::invokeMethod(
                            this,
                            [this, generation, percent] {
                                if (generation == generation_)
                                    emit progress(percent);
                            },
                            Qt::QueuedConnection);
                };
                std::shared_ptr<ScanResult> result;
                const bool current = engine_scan && engine_scan->isCurrent();
                if (prepared) {
                    // Records made before this scan began count at once, the rest
                    // as they are made (unless they will not be taken).
                    if (current)
                        prepared->followProgress(post);
                    prepared->thread.join();
                    if (current && !*cancel)
                        result = std::move(prepared->result);
                }
                if (!result && !*cancel) {
                    // The read's records serve unless they are gone; held while read.
                    const Velmora::MetaRecordsShare records
                            = current ? engine_scan->shareRecords() : Velmora::MetaRecordsShare();
                    result = ScanResult::compute(root, records ? engine_scan : nullptr, *cancel, nullptr, post);
                }
                prepared.reset();
                engine_scan.reset();
                if (!result || *cancel)
                    return;
                Velmora::LogHold::release(result->log);
                QMetaObject::invokeMethod(
                        this,
                        [this, generation, result, initial, text] {
                            if (generation != generation_)
                                return;
                            applyScan(generation, result);
                            emit progress(100);
                            pipeline_open_ = false;
                            emit pipeline_ended(as::ActionType::Scan, text);
                            if (initial) {
                                initial_pending_ = false;
                                initialized_ = true;
                                emit initialized();
                            }
                        },
                        Qt::QueuedConnection);
            });
    scan_thread_ = std::make_unique<core_internal::ThreadGroup>();
    // The system refused the thread (a process at its thread limit): the
    // scan runs here rather than never; what it tells still comes through
    // the event loop.
    if (!scan_thread_->start([scan] { (*scan)(); })) {
        Velmora::Log::warning("Asset manager: no thread could be started for the scan; it runs on this one\n");
        (*scan)();
    }
}

void AssetManagerPrivate::stopScan()
{
    if (scan_cancel_)
        *scan_cancel_ = true;
    if (taken_)
        taken_->cancel = true;
    scan_thread_.reset();
    scan_cancel_.reset();
    taken_.reset();
}

void AssetManagerPrivate::applyScan(quint64 /*generation*/, const std::shared_ptr<ScanResult> &result)
{
    // The thread has posted its last event; join it.
    scan_thread_.reset();
    scan_cancel_.reset();
    // The read's records may still be going: that need not hold up the
    // records applied here.
    if (taken_ && taken_->releasing) {
        joinReleasing();
        releasing_ = std::move(taken_->releasing);
    }
    taken_.reset();

    const QString root = result->index.root;
    if (!result->root_exists)
        Velmora::Log::warning("Asset manager: the data folder \"%s\" does not exist; there are no assets\n",
                              qUtf8Printable(root.isEmpty() ? QStringLiteral("(none)") : root));
    else if (result->index.assets.isEmpty())
        Velmora::Log::warning("Asset manager: the data folder \"%s\" holds no assets\n", qUtf8Printable(root));

    // Differences to the previous records: none are told on the first scan
    // (nor after a scan that found nothing), so none are looked for.
    const bool had_records = !index_->assets.isEmpty();
    QVector<Velmora::UGUID> gone, added_guids, moved_guids, changed_guids;
    // Another size or modification time of the asset's file than the last
    // scan saw.
    auto file_changed = [this, &result](const Velmora::UGUID &guid) {
        const asset_records::FileStamp *before = index_->stamps.find(guid);
        const asset_records::FileStamp *after = result->index.stamps.find(guid);
        return before && after && *before != *after;
    };
    if (had_records) {
        QReadLocker locker(&lock_);
        for (const as::Asset &old_asset : qAsConst(index_->assets)) {
            const as::Asset *now = result->index.find(old_asset.getGUID());
            if (!now)
                gone.append(old_asset.getGUID());
            else if (now->getRelativePath() != old_asset.getRelativePath())
                moved_guids.append(old_asset.getGUID());
            else if (*now != old_asset || file_changed(old_asset.getGUID()))
                changed_guids.append(old_asset.getGUID());
        }
        for (const as::Asset &new_asset : qAsConst(result->index.assets)) {
            if (!index_->find(new_asset.getGUID()))
                added_guids.append(new_asset.getGUID());
        }
    }

    for (const Velmora::UGUID &guid : qAsConst(gone))
        emit aboutToBeRemoved(guid);
    {
        QWriteLocker locker(&lock_);
        std::swap(index_->assets, result->index.assets);
        std::swap(index_->sorted, result->index.sorted);
        std::swap(index_->by_guid, result->index.by_guid);
        std::swap(index_->by_path, result->index.by_path);
        std::swap(index_->runtimes, result->index.runtimes);
        std::swap(index_->by_folder, result->index.by_folder);
        std::swap(index_->duplicates, result->index.duplicates);
        std::swap(index_->left_out, result->index.left_out);
        index_->stamps.swap(result->index.stamps);
        index_->root = root;
        if (!had_records || !gone.isEmpty() || !moved_guids.isEmpty() || !changed_guids.isEmpty()
            || !added_guids.isEmpty())
            ++revision_;
    }
    for (const as::Asset &asset : qAsConst(result->failed))
        emit validateFailed(asset);
    if (had_records) {
        for (const Velmora::UGUID &guid : qAsConst(gone))
            emit removed(guid);
        for (const Velmora::UGUID &guid : qAsConst(moved_guids))
            emit moved(guid);
        for (const Velmora::UGUID &guid : qAsConst(changed_guids))
            emit changed(guid);
        for (const Velmora::UGUID &guid : qAsConst(added_guids))
            emit added(guid);
        if (!gone.isEmpty() || !moved_guids.isEmpty() || !changed_guids.isEmpty() || !added_guids.isEmpty())
            emit end();
    }
}

} // namespace Editor
