#pragma once

#include "editor/interdependence/analysis_progress.h"
#include "editor/interdependence/parser/guid_hash_set.h"
#include "editor/interdependence/parser/item_builder.h"
#include "editor/interdependence/parser/modules/module.h"
#include "editor/interdependence/parser/parser_output.h"

#include <editor_core/AssetType.h>
#include <editor_core/as/Asset.h>

#include <velmora/Vector.h>

#include <QString>
#include <QVector>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Editor {
class AssetManagerPrivate;
}

namespace inas {
namespace parser {

class GuidProcessorBase;

// The first stage of the dependency analysis: one item for every asset of the
// list and for every runtime of those assets, filled by the module registered
// for the asset's type. Set up (setupParser, setItemBuilder,
// setAssetManager, setAssets), run once with parse(), then reset or
// destroyed. The run reads only its own copy of the asset list, the asset
// manager, the engine file system and the material and property registries,
// all of which may be read from the analysis thread.
//
// Data it cannot use (a null or repeated asset, a type without a slot, an
// asset whose file is unknown) is skipped with one warning; the run goes on.
//
// The items are made in the list's order on the calling thread; the files
// are read and parsed by a small pool of threads of the run's own, at most a
// bounded number of assets ahead of the first one not read yet. The items,
// the log lines of each asset and the progress reports come out in the
// list's order whatever thread did the work, so they are the same as those
// of one thread: (n, i) is reported once the first i assets have been read.
// A cancel stops every reading thread after the file it is reading. The
// modules and the resolver are shared by the pool's threads and only read.
class Driver
{
public:
    Driver();
    virtual ~Driver();
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;

    void setAssetManager(Editor::AssetManagerPrivate *manager);
    // Also sets the number of iterations to the list's length.
    void setAssets(const QVector<as::Asset> &assets);
    void setAssets(const Velmora::Vector<as::Asset> &assets);
    // Takes ownership; destroys the previous builder.
    void setItemBuilder(std::unique_ptr<ItemBuilder> builder);
    // type: AssetType::BEGIN < type < AssetType::SIZE (else a warning and no
    // change).
    void setModule(int type, ModulePtr module);
    ModulePtr getModule(int type) const;
    // The resolver that the modules share (setupParser sets it): a run
    // writes what making its path table logged before any asset's lines.
    void setResolver(std::shared_ptr<const GuidProcessorBase> resolver);

    virtual int getMaxIterations() const;
    // The items, or null when the progress callback cancelled the run.
    virtual std::unique_ptr<Output> parse(const ProgressCallback &progress);
    // Empties everything but the asset manager.
    virtual void reset();

protected:
    virtual std::unique_ptr<Output> makeOutput() const;
    // n + 1 progress calls for n assets, on the calling thread: (n, 0)
    // before any work, (n, i) once the first i assets have been read, and
    // (n, n) after all work. False when one of them asked to stop; then no
    // more files are read than the reading threads had begun, and only the
    // log lines of the assets reported come out.
    virtual bool runLoop(Output &output, const ProgressCallback &progress);
    // The item of an id, from the item builder; its file is set by
    // locateFile.
    virtual ItemPtr makeItem(const Velmora::UGUID &id, int type);
    // Sets an item's file (warns when none is known); record: the asset
    // record of an asset's own item, else null. Any thread.
    void locateFile(Item &item, const as::Asset *record) const;
    // Makes the items of an asset and reads its files: prepareAsset, then
    // parseFiles.
    virtual void parseAsset(const as::Asset &asset, Output &output);
    virtual bool runModule(Output &output, const as::Asset &asset, Item &item);
    virtual bool parseWorld(Output &output, const as::Asset &asset, Item &item);
    virtual bool parseNodeRuntime(Output &output, const as::Asset &asset, const as::Runtime &runtime, Item &asset_item,
                                  Item &runtime_item);
    virtual bool parseOtherRuntime(Output &output, const as::Asset &asset, const as::Runtime &runtime, Item &asset_item,
                                   Item &runtime_item);
    // 1 (node) for runtimes of kind 3, else 0.
    virtual int getRuntimeAssetType(const as::Runtime &runtime) const;

    Editor::AssetManagerPrivate *assetManager() const { return as_manager_; }

    // The items of one asset: its own and those of its runtimes (with the
    // runtime each stands for), appended to the output in this order. A
    // runtime whose id already had an item has a null item here. The output
    // owns the items: these are plain pointers, so that handing an asset to
    // a reading thread and back touches no reference count.
    using RuntimeItem = std::pair<const as::Runtime *, Item *>;
    struct AssetItems
    {
        const as::Asset *asset = nullptr;
        Item *item = nullptr;
        // num_runtimes in a row, kept by the driver until the run ends.
        RuntimeItem *runtimes = nullptr;
        int num_runtimes = 0;
    };
    // Makes the items (false when the asset gets none); no file is looked
    // up or read. Calling thread, in the list's order.
    bool prepareAsset(const as::Asset &asset, Output &output, AssetItems &items);
    // Locates the asset's files and reads them into its items (any thread;
    // stops between two files once stop is set).
    void parseFiles(Output &output, AssetItems &items, const std::atomic<bool> *stop = nullptr);

private:
    // The state that one run shares between the job's thread and its pool
    // of reading threads (the .cpp file).
    class ParseRun;

    // The driver's own state for a run: set before the first item is made,
    // cleared once every reading thread has ended.
    void beginRun();
    void endRun();
    // The absolute file of an id: an asset's or a stored runtime's own file,
    // else (a runtime without a file) the file of the asset that owns it.
    // record: the asset record that brings id's file along, or null.
    Velmora::String filePathOf(const Velmora::UGUID &id, const as::Asset *record) const;
    // Whether a record's file is the run's data folder followed by the
    // record's relative path, told without making the record's absolute
    // path (kept by the record once made). False outside a run.
    bool liesAtRelativePath(const as::Asset &record) const;
    // locateFile for each item of an asset, with the warnings for runtimes
    // listed twice in the runtimes' order.
    void locateFiles(AssetItems &items) const;
    // Room for count runtime items in a row, which stays where it is until
    // the blocks are let go (a run's start and end, and reset): one
    // allocation for many assets instead of one each.
    RuntimeItem *runtimeSlots(size_t count);
    void releaseRuntimeSlots();

    int max_iterations_ = 0;
    std::unique_ptr<ItemBuilder> item_builder_;
    std::array<ModulePtr, AssetType::SIZE> modules_;
    QVector<as::Asset> assets_;
    Editor::AssetManagerPrivate *as_manager_ = nullptr;
    std::shared_ptr<const GuidProcessorBase> resolver_;
    // Ids that have an item in the current run.
    GuidHashSet made_;
    std::vector<std::unique_ptr<RuntimeItem[]>> runtime_blocks_;
    RuntimeItem *runtime_next_ = nullptr;
    size_t runtime_slots_left_ = 0;
    // The manager's data folder during a run (else empty), and its UTF-8
    // form.
    QString root_;
    std::string root_utf8_;
    // Whether runModule asks the asset manager for files left out for an
    // asset's GUID; false during a run when the manager knows of none.
    bool ask_left_out_ = true;
};

} // namespace parser
} // namespace inas
