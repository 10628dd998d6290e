#pragma once

#include "core/base/thread_group.h"
#include "editor/interdependence/analysis_progress.h"
#include "editor/interdependence/analyzer/analyzer_output.h"
#include "editor/interdependence/parser/parser_output.h"

#include <velmora/LogHold.h>
#include <velmora/Material.h>
#include <velmora/Ptr.h>
#include <velmora/String.h>
#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QHash>
#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Editor {
class AssetManagerPrivate;
}

namespace inas {
namespace parser {
namespace items {
class Hierarchy;
}
} // namespace parser

namespace analyzer {

// The second stage of the dependency analysis. It wraps every parser item in
// an analyzer item and adds to the parser items the uses that no file writes
// down but that follow from where files lie (see implicit_uses.h) and from
// the engine's materials: the "uts"/"utsh" files of the folders a node's
// paths point into, a landscape's side files, a GUI skin's files and a
// material's textures.
//
// Lifecycle: init() before every run (it resets), getMaxIterations() for the
// progress budget, run() once, reset() right after (map_by_ext_ points into
// the run's output). A run reads the asset manager, the engine file system
// and the materials, all of which may be read from the analysis thread.
//
// Data that does not fit the rules (a side file with a long suffix, a
// material the engine cannot find, a GUID the asset manager does not know)
// is skipped with one warning; the run goes on.
class Driver
{
public:
    Driver();
    virtual ~Driver();
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;

    // as_manager must not be null.
    virtual bool init(Editor::AssetManagerPrivate *as_manager);
    // 5 after init: one for the items and one per step.
    virtual int getMaxIterations() const;
    // Reports (5, 1) .. (5, 5); null when the callback asked to stop (what the
    // finished steps added stays in the parser items).
    virtual std::unique_ptr<Output> run(const parser::Output &parser_output, const ProgressCallback &progress);
    virtual void reset();

protected:
    virtual std::unique_ptr<Output> buildItems(const parser::Output &parser_output);
    // False when the callback asked to stop; later steps do not run then.
    virtual bool runSteps(Output &output, const ProgressCallback &progress);
    virtual void indexStep(Output &output);
    virtual void indexByExtension(Output &output);
    virtual void linkNodePathFiles(Output &output);
    virtual void linkGuiSkins(Output &output);
    virtual void linkMaterials(Output &output);
    virtual void addRuntimeDependency(const Velmora::UGUID &runtime_guid, Item &item);

    Editor::AssetManagerPrivate *assetManager() const { return as_manager_; }

private:
    struct FolderFile
    {
        Velmora::UGUID guid;
        // The file's absolute path: its item's (UTF-8) when the file was
        // analysed, else the asset manager's (own_path).
        const std::string *item_path = nullptr;
        QString own_path;
        // Whether a node referring into the folder uses it.
        bool script = false;
        // For a script: whether the asset manager knew it as a runtime.
        bool known = false;
        // Whether its extension, in lower case, begins with a landscape's.
        bool landscape_extension = false;

        QString qtPath() const
        {
            return item_path ? QString::fromUtf8(item_path->data(), int(item_path->size())) : own_path;
        }
    };
    // The scripts of a folder that nodes refer into, in folder order.
    struct NodeFolder
    {
        QString path;
        std::vector<Velmora::UGUID> scripts;
        std::vector<char> known;
    };

    // The assets directly in a folder (absolute, cleaned), listed once per run.
    const std::vector<FolderFile> &folderFiles(const QString &folder);
    // What folderFiles keeps; reads only the asset manager and the run's
    // items (any thread).
    std::vector<FolderFile> listFolder(const QString &folder) const;
    // Fills files (as many as guids) for the assets guids (any thread, as
    // listFolder).
    void describeFiles(const Velmora::Vector<Velmora::UGUID> &guids, std::vector<FolderFile> &files) const;
    // Fills file for the asset guid, whose item (null: none) is known.
    void describeFile(const Velmora::UGUID &guid, const Item *item, FolderFile &file) const;
    // Lists the folders that folderFiles does not hold yet, on several threads.
    void listFolders(const std::vector<QString> &folders);
    // The folders of the landscape items, in map order.
    std::vector<QString> landscapeFolders() const;
    // The item addDependency saw last, and it as a hierarchy (or null).
    struct KindCache
    {
        const parser::Item *item = nullptr;
        const parser::items::Hierarchy *hierarchy = nullptr;
    };
    // addRuntimeDependency with the asset manager's answer known; it writes
    // only item's sets and kind.
    void addDependency(const Velmora::UGUID &runtime_guid, bool known, Item &item, KindCache &kind) const;
    // The slot in node_folders_ of the folder (absolute, cleaned) that a
    // node's path text points into; a folder met first is added to
    // node_folders_ and pending.
    int pathFolderSlot(const Velmora::String &path, std::vector<QString> &pending);
    int nodeFolderSlot(const QString &folder, std::vector<QString> &pending);
    void linkLandscapeSideFiles();
    // A file of a landscape's folder whose path extends the landscape's and
    // whose extension is one of a landscape; too_long holds its path when
    // its name adds too much for it to be taken.
    struct SideFile
    {
        Velmora::UGUID guid;
        std::string too_long;
    };
    // Those files of a landscape item's folder, in folder order; reads the
    // folders listed before and the asset manager (any thread).
    std::vector<SideFile> sideFiles(const parser::Item &landscape) const;
    // What one thread of the material search has looked up.
    struct MaterialTables
    {
        // Material GUID -> the texture assets of its slots.
        QHash<Velmora::UGUID, std::vector<Velmora::UGUID>> material_textures;
        // Texture path -> its asset (empty: none).
        QHash<QByteArray, Velmora::UGUID> texture_assets;
    };
    // The material search of a run, started after the items are indexed.
    struct MaterialSearch
    {
        base::ThreadGroup thread;
        // For every "*.mat" item in map order, its textures (null: no
        // material), held by tables.
        std::vector<const std::vector<Velmora::UGUID> *> textures;
        std::vector<MaterialTables> tables;
        // What finding them logged.
        Velmora::LogHold::Lines lines;
    };
    // Fills search (but its thread) for linkMaterials.
    void findMaterialTextures(MaterialSearch &search);
    // Starts findMaterialTextures on a thread of its own (it reads only the
    // material items, the asset manager and the engine, and writes only its
    // own tables, while the steps before linkMaterials link other items).
    void startMaterialSearch();
    // Waits for the search; false when none was started.
    bool finishMaterialSearch();
    // The material of a material asset's or material runtime's item (null,
    // with a warning when the engine has none for a material asset).
    Velmora::Ptr<Velmora::Material> materialOf(const parser::Item &parser_item) const;
    // The assets of a material's texture slots, resolved once per tables.
    const std::vector<Velmora::UGUID> &materialTextures(const Velmora::Material &material,
                                                        MaterialTables &tables) const;
    // The paths of a material's texture slots, in slot order; chain keeps
    // the parents whose texts they are.
    static std::vector<const Velmora::String *> texturePaths(const Velmora::Material &material,
                                                             std::vector<Velmora::Ptr<Velmora::Material>> &chain);

    int max_iterations_ = 0;
    int current_iteration_ = 0;
    // The ids of the items buildItems made, kept until reset() so that they
    // are freed with the run's other tables.
    std::vector<Velmora::UGUID> built_ids_;
    // For each entry of the map kinds_of_, in map order: the group of its
    // extension and whether it is a node's item (see indexByExtension).
    std::vector<unsigned char> item_kinds_;
    const ItemMap *kinds_of_ = nullptr;
    // The items of the extensions that the steps look up ("mat", "ter",
    // "rc", in lower case), in map order; an extension no item has has no
    // entry.
    std::unordered_map<std::string, std::vector<Item *>> map_by_ext_;
    // The items of node and world files (and of node runtimes), in map
    // order; filled with map_by_ext_.
    std::vector<Item *> node_items_;
    Editor::AssetManagerPrivate *as_manager_ = nullptr;
    // The items of the run (during runSteps).
    const ItemMap *item_map_ = nullptr;
    QHash<QString, std::vector<FolderFile>> folders_;
    // The folders nodes refer into, in order of first use, and their slots.
    std::vector<NodeFolder> node_folders_;
    QHash<QString, int> node_folder_slots_;
    // A path text as a node writes it -> the slot of its folder. The keys
    // of both tables are read in place from the nodes' paths, which stay
    // until reset() clears the tables.
    std::unordered_map<std::string_view, int> path_files_;
    // The folder part of a plain path text -> the slot of the folder it
    // points into.
    std::unordered_map<std::string_view, int> path_folder_slots_;
    // What addRuntimeDependency knows of the item it saw last.
    KindCache kind_;
    // The arena in which one thread grows the sets of the items it links: a
    // side arena of the one each item was made under (the parser's items all
    // share one), so that the memory goes with the items and costs no free
    // each; the thread's current one (mostly none: the heap) for an item made
    // under none. One per node-linking part, and arenas_ for this thread.
    class SideArenas
    {
    public:
        ItemArena *of(const parser::Item &item);

    private:
        ItemArena *last_origin_ = nullptr;
        ItemArena *last_side_ = nullptr;
        std::vector<std::pair<ItemArena *, ItemArena *>> sides_;
    };
    SideArenas arenas_;
    std::unique_ptr<MaterialSearch> material_search_;
};

} // namespace analyzer
} // namespace inas
