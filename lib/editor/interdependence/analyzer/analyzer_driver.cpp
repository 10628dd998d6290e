#include "editor/interdependence/analyzer/analyzer_driver.h"

#include "core/base/parallel_for.h"
#include "editor/interdependence/analyzer/implicit_uses.h"
#include "editor/interdependence/analyzer/item_block.h"
#include "editor/interdependence/parser/items/hierarchy.h"
#include "editor/interdependence/parser/items/node.h"

#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/Materials.h>

#include <QDir>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace inas {
namespace analyzer {

namespace {

const int NUM_ITERATIONS = 5;
const char MATERIAL_EXTENSION[] = "mat";
// How far up a material's parent chain the engine reads inherited slots.
const int MAX_PARENT_CHAIN = 64;
// Items handled per thread at least, where the items are split up.
const size_t ITEMS_PER_THREAD = 8192;
// Material items searched per thread at least.
const size_t MATERIALS_PER_THREAD = 1024;
// Nodes linked per thread at least.
const size_t NODES_PER_THREAD = 2048;
// Landscapes looked through per thread at least.
const size_t LANDSCAPES_PER_THREAD = 256;
// Folders listed per thread at least: below that one thread lists them all.
const size_t FOLDERS_PER_THREAD = 64;
// How many files ahead a folder's files are fetched while they are described.
const size_t PREFETCH_DISTANCE = 16;

QString folderOf(const QString &path)
{
    return QDir::cleanPath(fs::pathname(path));
}

QString folderOf(const Velmora::String &utf8_path)
{
    return folderOf(QString::fromUtf8(utf8_path.get(), utf8_path.size()));
}

// Whether the extension of a file path (UTF-8) begins, in lower case, with a
// landscape's: what fs::getExtension(path).toLower().startsWith() says of it,
// read from the bytes. The extension is the text after the last dot of the
// file's name, unless the name starts with that dot; no character outside
// ASCII lowers to an ASCII letter of "ter".
bool hasLandscapeExtension(std::string_view path)
{
    size_t name = path.size();
    while (name > 0 && path[name - 1] != '/' && path[name - 1] != '\\')
        --name;
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot <= name)
        return false;
    const char *const prefix = implicit_uses::LANDSCAPE_EXTENSION;
    const size_t length = std::char_traits<char>::length(prefix);
    if (path.size() - dot - 1 < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        char c = path[dot + 1 + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// What indexing needs of an item: the one of the extensions that later steps
// look up which its file has (bits GROUP_MASK; 0 for any other), and whether
// it is a node's item (NODE_KIND).
const unsigned char GROUP_MASK = 3;
const unsigned char NODE_KIND = 4;
const char *const GROUP_EXTENSIONS[]
        = {nullptr, MATERIAL_EXTENSION, implicit_uses::LANDSCAPE_EXTENSION, implicit_uses::GUI_SKIN_EXTENSION};

unsigned char kindOf(const parser::Item &parser_item)
{
    // The extension is the text after the last dot of the file's name,
    // compared in lower case; a name without a dot has none.
    const std::string &path = parser_item.getAbsolutePath().std();
    size_t dot = path.size();
    while (dot > 0 && path[dot - 1] != '.' && path[dot - 1] != '/')
        --dot;
    unsigned char kind = 0;
    if (dot > 0 && path[dot - 1] == '.') {
        const size_t length = path.size() - dot;
        for (unsigned char group = 1; group <= GROUP_MASK && kind == 0; ++group) {
            const char *extension = GROUP_EXTENSIONS[group];
            if (std::char_traits<char>::length(extension) != length)
                continue;
            size_t i = 0;
            for (; i < length; ++i) {
                char c = path[dot + i];
                if (c >= 'A' && c <= 'Z')
                    c = char(c - 'A' + 'a');
                if (c != extension[i])
                    break;
            }
            if (i == length)
                kind = group;
        }
    }
    if (dynamic_cast<const parser::items::Node *>(&parser_item))
        kind |= NODE_KIND;
    return kind;
}

} // namespace

ItemArena *Driver::SideArenas::of(const parser::Item &item)
{
    ItemArena *const origin = item.getArena();
    if (!origin)
        return ItemArena::current();
    if (origin != last_origin_) {
        const auto known
                = std::find_if(sides_.begin(), sides_.end(),
                               [&](const std::pair<ItemArena *, ItemArena *> &side) { return side.first == origin; });
        last_side_ = known != sides_.end() ? known->second : origin->side();
        if (known == sides_.end())
            sides_.emplace_back(origin, last_side_);
        last_origin_ = origin;
    }
    return last_side_;
}

Driver::Driver() = default;

Driver::~Driver()
{
    finishMaterialSearch();
}

bool Driver::init(Editor::AssetManagerPrivate *as_manager)
{
    EC_ASSERT(as_manager);
    reset();
    max_iterations_ = NUM_ITERATIONS;
    as_manager_ = as_manager;
    return true;
}

int Driver::getMaxIterations() const
{
    return max_iterations_;
}

std::unique_ptr<Output> Driver::run(const parser::Output &parser_output, const ProgressCallback &progress)
{
    EC_ASSERT(progress && (current_iteration_ == 0) && (max_iterations_ > 0));
    std::unique_ptr<Output> output = buildItems(parser_output);
    ++current_iteration_;
    if (!progress(max_iterations_, current_iteration_))
        return nullptr;
    if (!runSteps(*output, progress))
        return nullptr;
    return output;
}

void Driver::reset()
{
    finishMaterialSearch();
    material_search_.reset();
    max_iterations_ = 0;
    current_iteration_ = 0;
    map_by_ext_.clear();
    node_items_.clear();
    as_manager_ = nullptr;
    item_map_ = nullptr;
    folders_.clear();
    node_folder_slots_.clear();
    node_folders_.clear();
    path_files_.clear();
    path_folder_slots_.clear();
    kind_ = KindCache();
    arenas_ = SideArenas();
    built_ids_ = std::vector<Velmora::UGUID>();
    item_kinds_ = std::vector<unsigned char>();
    kinds_of_ = nullptr;
}

std::unique_ptr<Output> Driver::buildItems(const parser::Output &parser_output)
{
    auto output = std::make_unique<Output>();
    const std::vector<parser::ItemPtr> &parser_items = parser_output.getItems();
    const size_t count = parser_items.size();
    // The items are made, and their ids and what indexing needs of them
    // read, on several threads; the map takes them in the parser's order.
    const auto block = std::make_shared<ItemBlock>(count);
    std::vector<Velmora::UGUID> &ids = built_ids_;
    ids.resize(count);
    item_kinds_.resize(count);
    base::ParallelFor::run(count, base::ParallelFor::chunks(count, ITEMS_PER_THREAD),
                           [&](int, size_t begin, size_t end) {
                               for (size_t i = begin; i < end; ++i) {
                                   block->fill(i, parser_items[i]);
                                   ids[i] = parser_items[i]->getId();
                                   item_kinds_[i] = kindOf(*parser_items[i]);
                               }
                           });
    kinds_of_ = &output->item_map;
    if (output->item_map.assign(ids.data(), block->data(), count, block))
        return output;
    // Some id comes twice: the items go in one by one, and the first keeps it.
    output->item_map.reserve(int(count));
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!output->item_map.insert(ids[i], ItemBlock::at(block, i))) {
            // The parser makes one item per id; a repeat would be its fault,
            // and the first item already holds everything that id uses.
            Velmora::Log::warning("Dependency analysis: the item %s is listed twice; the first is kept\n",
                                  ids[i].getString().get());
            continue;
        }
        item_kinds_[kept++] = item_kinds_[i];
    }
    item_kinds_.resize(kept);
    return output;
}

bool Driver::runSteps(Output &output, const ProgressCallback &progress)
{
    EC_ASSERT(progress);
    item_map_ = &output.item_map;
    arenas_ = SideArenas();
    using Step = void (Driver::*)(Output &);
    const Step steps[]
            = {&Driver::indexStep, &Driver::linkNodePathFiles, &Driver::linkGuiSkins, &Driver::linkMaterials};
    for (const Step step : steps) {
        (this->*step)(output);
        ++current_iteration_;
        if (step == &Driver::indexStep)
            startMaterialSearch();
        if (!progress(max_iterations_, current_iteration_)) {
            // What the search found is dropped with its lines, as if the
            // material step had never begun.
            finishMaterialSearch();
            material_search_.reset();
            return false;
        }
    }
    EC_ASSERT(current_iteration_ == max_iterations_);
    return true;
}

void Driver::indexStep(Output &output)
{
    indexByExtension(output);
}

void Driver::indexByExtension(Output &output)
{
    EC_ASSERT(map_by_ext_.empty() && node_items_.empty());
    const size_t count = size_t(output.item_map.size());
    const auto first = output.item_map.begin();
    if (kinds_of_ != &output.item_map || item_kinds_.size() != count) {
        // Items this driver did not build: their kinds are found here, on
        // several threads.
        item_kinds_.resize(count);
        base::ParallelFor::run(count, base::ParallelFor::chunks(count, ITEMS_PER_THREAD),
                               [&](int, size_t begin, size_t end) {
                                   for (size_t i = begin; i < end; ++i)
                                       item_kinds_[i] = kindOf(*(first + std::ptrdiff_t(i))->data->getParserData());
                               });
        kinds_of_ = &output.item_map;
    }
    // Grouped in map order; only the extensions that the steps look up get
    // a group, and only when an item has them.
    std::vector<Item *> *groups[GROUP_MASK + 1] = {};
    for (size_t i = 0; i < count; ++i) {
        const unsigned char kind = item_kinds_[i];
        if (kind == 0)
            continue;
        Item *item = (first + std::ptrdiff_t(i))->data;
        if (const unsigned char group = kind & GROUP_MASK) {
            if (!groups[group])
                groups[group] = &map_by_ext_[GROUP_EXTENSIONS[group]];
            groups[group]->push_back(item);
        }
        if (kind & NODE_KIND)
            node_items_.push_back(item);
    }
}

void Driver::linkNodePathFiles(Output & /*output*/)
{
    // A node that names a path uses the scripts of that path's folder. The
    // folder of each distinct text is found first, then the folders are
    // listed on several threads, then the uses are added in map order.
    std::vector<int> path_slots;
    std::vector<size_t> first_slots;
    first_slots.reserve(node_items_.size());
    std::vector<QString> pending;
    for (const Item *item : node_items_) {
        first_slots.push_back(path_slots.size());
        const auto &node = static_cast<const parser::items::Node &>(*item->getParserData());
        for (const Velmora::String &path : node.getPaths()) {
            // Many nodes name the same paths: each text is resolved once.
            const std::string_view text = path.std();
            auto known = path_files_.find(text);
            if (known == path_files_.end())
                known = path_files_.emplace(text, pathFolderSlot(path, pending)).first;
            path_slots.push_back(known->second);
        }
    }
    for (const QString &folder : landscapeFolders())
        pending.push_back(folder);
    listFolders(pending);
    for (NodeFolder &folder : node_folders_) {
        for (const FolderFile &file : folderFiles(folder.path)) {
            if (file.script) {
                folder.scripts.push_back(file.guid);
                folder.known.push_back(file.known);
            }
        }
    }

    // Each node's uses go into its own sets: consecutive parts of the nodes
    // on several threads, their lines joined in part order.
    const int parts = base::ParallelFor::chunks(node_items_.size(), NODES_PER_THREAD);
    std::vector<Velmora::LogHold::Lines> lines(static_cast<size_t>(parts));
    base::ParallelFor::run(node_items_.size(), parts, [&](int part, size_t begin, size_t end) {
        Velmora::LogHold hold(&lines[size_t(part)]);
        KindCache kind;
        SideArenas arenas;
        for (size_t k = begin; k < end; ++k) {
            Item &item = *node_items_[k];
            ItemArena::Scope sets(arenas.of(*item.getParserData()));
            const auto &node = static_cast<const parser::items::Node &>(*item.getParserData());
            size_t next = first_slots[k];
            for (size_t i = 0, n = size_t(node.getPaths().size()); i < n; ++i) {
                const NodeFolder &folder = node_folders_[size_t(path_slots[next++])];
                for (size_t s = 0; s < folder.scripts.size(); ++s) {
                    if (folder.scripts[s] != node.getId())
                        addDependency(folder.scripts[s], folder.known[s] != 0, item, kind);
                }
            }
        }
    });
    for (Velmora::LogHold::Lines &part : lines)
        Velmora::LogHold::release(part);
    linkLandscapeSideFiles();
}

int Driver::pathFolderSlot(const Velmora::String &path, std::vector<QString> &pending)
{
    // A text "<folder>/<name>" with a plain file name points into the same
    // folder whatever the name: such texts are resolved once per folder
    // part. Names that move the folder (".", ".."), other separators and
    // GUID texts are resolved one by one.
    const std::string &text = path.std();
    const size_t slash = text.rfind('/');
    const bool plain = slash != std::string::npos && slash + 1 < text.size() && text.find(':') == std::string::npos
            && text.find('\\') == std::string::npos && text.compare(slash + 1, std::string::npos, ".") != 0
            && text.compare(slash + 1, std::string::npos, "..") != 0;
    if (!plain)
        return nodeFolderSlot(folderOf(fs::absDataPath(QString::fromUtf8(path.get(), path.size()))), pending);
    const std::string_view key(text.data(), slash);
    auto known = path_folder_slots_.find(key);
    if (known == path_folder_slots_.end()) {
        const QString folder = folderOf(fs::absDataPath(QString::fromUtf8(path.get(), path.size())));
        known = path_folder_slots_.emplace(key, nodeFolderSlot(folder, pending)).first;
    }
    return known->second;
}

int Driver::nodeFolderSlot(const QString &folder, std::vector<QString> &pending)
{
    auto slot = node_folder_slots_.constFind(folder);
    if (slot == node_folder_slots_.constEnd()) {
        slot = node_folder_slots_.insert(folder, int(node_folders_.size()));
        node_folders_.push_back({folder, {}, {}});
        pending.push_back(folder);
    }
    return slot.value();
}

void Driver::linkLandscapeSideFiles()
{
    const auto landscapes = map_by_ext_.find(implicit_uses::LANDSCAPE_EXTENSION);
    if (landscapes == map_by_ext_.end())
        return;
    const std::vector<Item *> &items = landscapes->second;
    // Each landscape's files are looked through on several threads, and
    // what they call for is done here in map order.
    std::vector<std::vector<SideFile>> side_files(items.size());
    base::ParallelFor::run(items.size(), base::ParallelFor::chunks(items.size(), LANDSCAPES_PER_THREAD),
                           [&](int, size_t begin, size_t end) {
                               for (size_t i = begin; i < end; ++i)
                                   side_files[i] = sideFiles(*items[i]->getParserData());
                           });
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string &main = items[i]->getParserData()->getAbsolutePath().std();
        ItemArena::Scope sets(arenas_.of(*items[i]->getParserData()));
        for (const SideFile &file : side_files[i]) {
            if (!file.too_long.empty()) {
                Velmora::Log::warning("Dependency analysis: \"%s\" is not taken as a side file of the landscape "
                                      "\"%s\": its name adds more than %d characters\n",
                                      file.too_long.c_str(), main.c_str(), implicit_uses::MAX_SIDE_FILE_SUFFIX - 1);
                continue;
            }
            addRuntimeDependency(file.guid, *items[i]);
        }
    }
}

std::vector<Driver::SideFile> Driver::sideFiles(const parser::Item &landscape) const
{
    std::vector<SideFile> found;
    const std::string &main = landscape.getAbsolutePath().std();
    const QString folder = folderOf(landscape.getAbsolutePath());
    const auto listed = folders_.constFind(folder);
    const std::vector<FolderFile> unlisted
            = listed == folders_.constEnd() ? listFolder(folder) : std::vector<FolderFile>();
    for (const FolderFile &file : listed == folders_.constEnd() ? unlisted : listed.value()) {
        // Few files of a folder have a landscape's extension: the others go
        // first, before their paths are read.
        if (!file.landscape_extension)
            continue;
        // A side file's path extends the landscape's.
        std::string own;
        if (!file.item_path)
            own = file.own_path.toUtf8().toStdString();
        const std::string &path = file.item_path ? *file.item_path : own;
        if (file.guid == landscape.getId() || path.compare(0, main.size(), main) != 0)
            continue;
        if (path.size() - main.size() >= size_t(implicit_uses::MAX_SIDE_FILE_SUFFIX))
            found.push_back({file.guid, path});
        else
            found.push_back({file.guid, std::string()});
    }
    return found;
}

void Driver::linkGuiSkins(Output & /*output*/)
{
    const auto skins = map_by_ext_.find(implicit_uses::GUI_SKIN_EXTENSION);
    if (skins == map_by_ext_.end())
        return;
    for (Item *item : skins->second) {
        const parser::Item &parser_item = *item->getParserData();
        const Velmora::String &path = parser_item.getAbsolutePath();
        const Velmora::String name = path.basename();
        if (!implicit_uses::isGuiSkinFileName(QString::fromUtf8(name.get(), name.size())))
            continue;
        for (const FolderFile &file : folderFiles(folderOf(path))) {
            if (file.guid != parser_item.getId() && implicit_uses::isGuiSkinFile(fs::basename(file.qtPath()))) {
                ItemArena::Scope sets(arenas_.of(parser_item));
                addRuntimeDependency(file.guid, *item);
            }
        }
    }
}

void Driver::linkMaterials(Output & /*output*/)
{
    // The engine makes materials of "*.mat" files only, and a material's
    // items (the asset's and its material runtime's) carry that file's path,
    // so only the items of that extension can be materials to it.
    const auto candidates = map_by_ext_.find(MATERIAL_EXTENSION);
    if (candidates == map_by_ext_.end())
        return;
    std::unique_ptr<MaterialSearch> search;
    if (finishMaterialSearch())
        search = std::move(material_search_);
    else {
        search = std::make_unique<MaterialSearch>();
        findMaterialTextures(*search);
    }
    Velmora::LogHold::release(search->lines);
    for (size_t i = 0; i < candidates->second.size(); ++i) {
        if (const std::vector<Velmora::UGUID> *textures = search->textures[i]) {
            parser::Item &parser_item = *candidates->second[i]->getParserData();
            ItemArena::Scope sets(arenas_.of(parser_item));
            for (const Velmora::UGUID &texture : *textures)
                parser_item.addDependent(texture);
        }
    }
    // Its tables go with the run's other tables in reset(), which the
    // executor calls off this thread.
    material_search_ = std::move(search);
}

void Driver::findMaterialTextures(MaterialSearch &search)
{
    const auto candidates = map_by_ext_.find(MATERIAL_EXTENSION);
    if (candidates == map_by_ext_.end())
        return;
    // Consecutive parts of the candidates on several threads, each with
    // tables and lines of its own; the lines are joined in part order.
    const std::vector<Item *> &items = candidates->second;
    const int parts = base::ParallelFor::chunks(items.size(), MATERIALS_PER_THREAD);
    search.textures.assign(items.size(), nullptr);
    search.tables.resize(size_t(parts));
    std::vector<Velmora::LogHold::Lines> lines(static_cast<size_t>(parts));
    base::ParallelFor::run(items.size(), parts, [&](int part, size_t begin, size_t end) {
        Velmora::LogHold hold(&lines[size_t(part)]);
        MaterialTables &tables = search.tables[size_t(part)];
        for (size_t i = begin; i < end; ++i) {
            const Velmora::Ptr<Velmora::Material> material = materialOf(*items[i]->getParserData());
            // The tables keep their values where they are as they grow.
            search.textures[i] = material ? &materialTextures(*material, tables) : nullptr;
        }
    });
    for (Velmora::LogHold::Lines &part : lines)
        search.lines.insert(search.lines.end(), std::make_move_iterator(part.begin()),
                            std::make_move_iterator(part.end()));
}

void Driver::startMaterialSearch()
{
    finishMaterialSearch();
    if (map_by_ext_.find(MATERIAL_EXTENSION) == map_by_ext_.end())
        return;
    material_search_ = std::make_unique<MaterialSearch>();
    MaterialSearch *search = material_search_.get();
    // Not started: linkMaterials searches when it comes to it.
    if (!search->thread.start([this, search] { findMaterialTextures(*search); }))
        material_search_.reset();
}

bool Driver::finishMaterialSearch()
{
    if (!material_search_ || material_search_->thread.empty())
        return false;
    material_search_->thread.join();
    return true;
}

Velmora::Ptr<Velmora::Material> Driver::materialOf(const parser::Item &parser_item) const
{
    // A material GUID is a material to the engine; otherwise it is asked.
    Velmora::Ptr<Velmora::Material> material = Velmora::Materials::findMaterialByGUID(parser_item.getId());
    if (!material && !Velmora::Materials::isMaterial(parser_item.getId()))
        return material;
    if (!material) {
        // A material asset's item: its one runtime is the material.
        const parser::RuntimeSet &runtimes = parser_item.getDescendants();
        if (runtimes.size() == 1)
            material = Velmora::Materials::findMaterialByGUID(*runtimes.begin());
        if (!material)
            Velmora::Log::warning("Dependency analysis: the engine has no material for %s; its textures are "
                                  "not counted\n",
                                  parser_item.getId().getString().get());
    }
    return material;
}

const std::vector<Velmora::UGUID> &Driver::materialTextures(const Velmora::Material &material,
                                                            MaterialTables &tables) const
{
    auto it = tables.material_textures.find(material.getGUID());
    if (it != tables.material_textures.end())
        return it.value();
    std::vector<Velmora::UGUID> textures;
    // The chain is held while its texts are read.
    std::vector<Velmora::Ptr<Velmora::Material>> chain;
    for (const Velmora::String *path : texturePaths(material, chain)) {
        if (path->isEmpty())
            continue;
        // Many materials name the same textures: each path is asked once.
        auto known = tables.texture_assets.constFind(QByteArray::fromRawData(path->get(), path->size()));
        if (known == tables.texture_assets.constEnd()) {
            Velmora::UGUID texture = Velmora::FileSystem::getGUID(path->get());
            // Engine textures without an asset (core/) are nothing the
            // viewer could show.
            if (texture.isValid() && !as_manager_->hasRuntime(texture))
                texture = Velmora::UGUID();
            known = tables.texture_assets.insert(QByteArray(path->get(), path->size()), texture);
        }
        if (known.value().isValid())
            textures.push_back(known.value());
    }
    return tables.material_textures.insert(material.getGUID(), std::move(textures)).value();
}

std::vector<const Velmora::String *> Driver::texturePaths(const Velmora::Material &material,
                                                          std::vector<Velmora::Ptr<Velmora::Material>> &chain)
{
    // The materials from this one up its parent chain, as far as the engine
    // follows it (a loop ends where it comes back).
    std::vector<const Velmora::Material *> materials;
    materials.reserve(8);
    materials.push_back(&material);
    chain.reserve(8);
    Velmora::Ptr<Velmora::Material> parent = material.getParent();
    for (int depth = 0; parent && depth < MAX_PARENT_CHAIN; ++depth) {
        if (std::find(materials.begin(), materials.end(), parent.get()) != materials.end())
            break;
        chain.push_back(parent);
        materials.push_back(parent.get());
        parent = parent->getParent();
    }
    // The slots as the engine lists them: names in order of first
    // declaration from the top of the chain down, each with the path of the
    // nearest material that declares it. Read here in one pass, where the
    // engine's index-based calls would resolve the chain once per slot.
    std::vector<const Velmora::String *> names;
    std::vector<const Velmora::String *> paths;
    names.reserve(size_t(material.getOwnTextures().size()) + 8);
    paths.reserve(names.capacity());
    for (auto top = materials.rbegin(); top != materials.rend(); ++top) {
        for (const Velmora::Material::Entry &entry : (*top)->getOwnTextures()) {
            if (std::any_of(names.begin(), names.end(), [&](const Velmora::String *n) { return *n == entry.name; }))
                continue;
            names.push_back(&entry.name);
            for (const Velmora::Material *nearest : materials) {
                const auto &entries = nearest->getOwnTextures();
                const auto declared
                        = std::find_if(entries.begin(), entries.end(),
                                       [&](const Velmora::Material::Entry &e) { return e.name == entry.name; });
                if (declared != entries.end()) {
                    paths.push_back(&declared->value);
                    break;
                }
            }
        }
    }
    return paths;
}

void Driver::addRuntimeDependency(const Velmora::UGUID &runtime_guid, Item &item)
{
    addDependency(runtime_guid, as_manager_->hasRuntime(runtime_guid), item, kind_);
}

void Driver::addDependency(const Velmora::UGUID &runtime_guid, bool known, Item &item, KindCache &kind) const
{
    parser::Item &parser_item = *item.getParserData();
    // The same item comes many times in a row: its kind is asked once.
    if (&parser_item != kind.item) {
        kind.item = &parser_item;
        kind.hierarchy = dynamic_cast<const parser::items::Hierarchy *>(&parser_item);
    }
    if (!known) {
        // The asset manager changed while the analysis ran.
        Velmora::Log::warning("Dependency analysis: %s is no longer an asset; it is not counted as a use of %s\n",
                              runtime_guid.getString().get(), parser_item.getId().getString().get());
        return;
    }
    if (runtime_guid == parser_item.getId())
        return;
    if (kind.hierarchy && runtime_guid == kind.hierarchy->getParentId())
        return;
    parser_item.addDependent(runtime_guid);
}

std::vector<Driver::FolderFile> Driver::listFolder(const QString &folder) const
{
    const Velmora::Vector<Velmora::UGUID> guids = as_manager_->assets(folder);
    std::vector<FolderFile> files(size_t(guids.size()));
    describeFiles(guids, files);
    return files;
}

void Driver::describeFiles(const Velmora::Vector<Velmora::UGUID> &guids, std::vector<FolderFile> &files) const
{
    // A file's item, the item's record and the record's path lie apart in
    // memory: the items are looked up first, and then each item, record and
    // path fetched ahead of its file's turn, one after the other.
    const size_t count = size_t(guids.size());
    std::vector<const Item *> items(count, nullptr);
    if (item_map_) {
        for (size_t f = 0; f < count; ++f) {
            if (f + PREFETCH_DISTANCE < count)
                item_map_->prefetch(guids[int(f + PREFETCH_DISTANCE)]);
            items[f] = item_map_->value(guids[int(f)]);
        }
    }
    const auto ahead = [&](size_t f, size_t distance) { return f + distance < count ? items[f + distance] : nullptr; };
    for (size_t f = 0; f < count; ++f) {
        if (const Item *item = ahead(f, PREFETCH_DISTANCE))
            __builtin_prefetch(item);
        if (const Item *item = ahead(f, PREFETCH_DISTANCE / 2)) {
            // The record's owner and path may lie in different lines.
            const parser::Item *record = item->getParserData().get();
            __builtin_prefetch(&record->getOwnerId());
            __builtin_prefetch(&record->getAbsolutePath());
        }
        if (const Item *item = ahead(f, PREFETCH_DISTANCE / 4))
            __builtin_prefetch(item->getParserData()->getAbsolutePath().get());
        describeFile(guids[int(f)], items[f], files[f]);
    }
}

void Driver::describeFile(const Velmora::UGUID &guid, const Item *item, FolderFile &file) const
{
    file.guid = guid;
    // An analysed asset's item holds its file's path: the asset manager is
    // asked only for the others.
    if (item && !item->getParserData()->getOwnerId().isValid()) {
        file.item_path = &item->getParserData()->getAbsolutePath().std();
        file.script = implicit_uses::hasNodePathExtension(*file.item_path);
        file.landscape_extension = hasLandscapeExtension(*file.item_path);
    } else {
        file.own_path = as_manager_->filePath(guid);
        file.script = implicit_uses::hasNodePathExtension(file.own_path);
        file.landscape_extension = fs::getExtension(file.own_path)
                                           .toLower()
                                           .startsWith(QLatin1String(implicit_uses::LANDSCAPE_EXTENSION));
    }
    // Asked here, once per script, rather than once per node that uses it.
    file.known = file.script && as_manager_->hasRuntime(guid);
}

const std::vector<Driver::FolderFile> &Driver::folderFiles(const QString &folder)
{
    auto it = folders_.find(folder);
    if (it != folders_.end())
        return it.value();
    return folders_.insert(folder, listFolder(folder)).value();
}

void Driver::listFolders(const std::vector<QString> &folders)
{
    std::vector<const QString *> missing;
    for (const QString &folder : folders) {
        if (!folders_.contains(folder)) {
            // A placeholder, so that a folder named twice is listed once.
            folders_.insert(folder, {});
            missing.push_back(&folder);
        }
    }
    // The lists are made here and the files described on several threads:
    // what lasts comes from this thread's heap, not from theirs, where it
    // would leave the process holding more memory.
    std::vector<Velmora::Vector<Velmora::UGUID>> guids(missing.size());
    std::vector<std::vector<FolderFile>> listed(missing.size());
    for (size_t i = 0; i < missing.size(); ++i) {
        guids[i] = as_manager_->assets(*missing[i]);
        listed[i].resize(size_t(guids[i].size()));
    }
    // Threads pay when the files' paths come from the items; the asset
    // manager's lock, taken once per other file, does not bear them.
    const bool analysed = item_map_ && item_map_->size() >= as_manager_->getNumAssets() / 2;
    base::ParallelFor::run(missing.size(), analysed ? base::ParallelFor::chunks(missing.size(), FOLDERS_PER_THREAD) : 1,
                           [&](int, size_t begin, size_t end) {
                               for (size_t i = begin; i < end; ++i)
                                   describeFiles(guids[i], listed[i]);
                           });
    for (size_t i = 0; i < missing.size(); ++i)
        folders_[*missing[i]] = std::move(listed[i]);
}

std::vector<QString> Driver::landscapeFolders() const
{
    std::vector<QString> folders;
    const auto landscapes = map_by_ext_.find(implicit_uses::LANDSCAPE_EXTENSION);
    if (landscapes == map_by_ext_.end())
        return folders;
    folders.reserve(landscapes->second.size());
    for (const Item *item : landscapes->second)
        folders.push_back(folderOf(item->getParserData()->getAbsolutePath()));
    return folders;
}

} // namespace analyzer
} // namespace inas
