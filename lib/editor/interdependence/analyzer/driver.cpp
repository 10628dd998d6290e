#include "editor/interdependence/analyzer/driver.h"

#include "editor/interdependence/analyzer/implicit_uses.h"
#include "editor/interdependence/arena_allocator.h"
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

namespace inas {
namespace analyzer {

namespace {

const int NUM_ITERATIONS = 5;
const char MATERIAL_EXTENSION[] = "mat";
// How far up a material's parent chain the engine reads inherited slots.
const int MAX_PARENT_CHAIN = 64;

QString folderOf(const QString &path)
{
    return QDir::cleanPath(fs::pathname(path));
}

QString folderOf(const Velmora::String &utf8_path)
{
    return folderOf(QString::fromUtf8(utf8_path.get(), utf8_path.size()));
}

} // namespace

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
    arena_ = std::make_shared<ItemArena>();
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
    folders_.clear();
    node_path_files_.clear();
    path_files_.clear();
    path_folders_.clear();
    hierarchy_item_ = nullptr;
    hierarchy_ = nullptr;
    material_textures_.clear();
    texture_assets_.clear();
    arena_.reset();
}

std::unique_ptr<Output> Driver::buildItems(const parser::Output &parser_output)
{
    auto output = std::make_unique<Output>();
    output->item_map.reserve(int(parser_output.getItems().size()));
    for (const parser::ItemPtr &parser_item : parser_output.getItems()) {
        if (!output->item_map.insert(parser_item->getId(), makeItem(parser_output, parser_item))) {
            // The parser makes one item per id; a repeat would be its fault,
            // and the first item already holds everything that id uses.
            Velmora::Log::warning("Dependency analysis: the item %s is listed twice; the first is kept\n",
                                  parser_item->getId().getString().get());
        }
    }
    return output;
}

ItemPtr Driver::makeItem(const parser::Output & /*parser_output*/, const parser::ItemPtr &parser_item)
{
    if (!arena_)
        return std::make_shared<Item>(parser_item);
    return std::allocate_shared<Item>(ArenaAllocator<Item>(arena_), parser_item);
}

bool Driver::runSteps(Output &output, const ProgressCallback &progress)
{
    EC_ASSERT(progress);
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
    std::string extension;
    std::vector<Item *> *group = nullptr;
    std::string group_extension;
    for (const ItemMap::Entry &entry : output.item_map) {
        const parser::Item &parser_item = *entry.data->getParserData();
        // The text after the last dot of the file's name, in lower case;
        // empty when the name has no dot.
        const std::string &path = parser_item.getAbsolutePath().std();
        size_t dot = path.size();
        while (dot > 0 && path[dot - 1] != '.' && path[dot - 1] != '/')
            --dot;
        extension.clear();
        if (dot > 0 && path[dot - 1] == '.') {
            extension.assign(path, dot, std::string::npos);
            for (char &c : extension) {
                if (c >= 'A' && c <= 'Z')
                    c = char(c - 'A' + 'a');
            }
        }
        // Neighbours mostly share an extension: the group is looked up again
        // only when it changes.
        if (!group || group_extension != extension) {
            group = &map_by_ext_[extension];
            group_extension = extension;
        }
        group->push_back(entry.data.get());
        if (dynamic_cast<const parser::items::Node *>(&parser_item))
            node_items_.push_back(entry.data.get());
    }
}

void Driver::linkNodePathFiles(Output & /*output*/)
{
    // A node that names a path uses the scripts of that path's folder.
    for (Item *item : node_items_) {
        const auto &node = static_cast<const parser::items::Node &>(*item->getParserData());
        for (const Velmora::String &path : node.getPaths()) {
            // Many nodes name the same paths: each text is resolved once.
            auto known = path_files_.find(path.std());
            if (known == path_files_.end())
                known = path_files_.emplace(path.std(), nodePathFiles(pathFolder(path))).first;
            for (const Velmora::UGUID &guid : known->second) {
                if (guid != node.getId())
                    addRuntimeDependency(guid, *item);
            }
        }
    }
    linkLandscapeSideFiles();
}

QString Driver::pathFolder(const Velmora::String &path)
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
        return folderOf(fs::absDataPath(QString::fromUtf8(path.get(), path.size())));
    std::string key(text, 0, slash);
    auto known = path_folders_.find(key);
    if (known == path_folders_.end()) {
        const QString folder = folderOf(fs::absDataPath(QString::fromUtf8(path.get(), path.size())));
        known = path_folders_.emplace(std::move(key), folder).first;
    }
    return known->second;
}

void Driver::linkLandscapeSideFiles()
{
    const auto landscapes = map_by_ext_.find(implicit_uses::LANDSCAPE_EXTENSION);
    if (landscapes == map_by_ext_.end())
        return;
    for (Item *item : landscapes->second) {
        const parser::Item &parser_item = *item->getParserData();
        const Velmora::String &main_path = parser_item.getAbsolutePath();
        const QString main = QString::fromUtf8(main_path.get(), main_path.size());
        for (const FolderFile &file : folderFiles(folderOf(main))) {
            // A side file's path extends the landscape's.
            if (file.guid == parser_item.getId() || !file.absolute_path.startsWith(main))
                continue;
            if (!fs::getExtension(file.absolute_path)
                         .toLower()
                         .startsWith(QLatin1String(implicit_uses::LANDSCAPE_EXTENSION)))
                continue;
            const QByteArray path = file.absolute_path.toUtf8();
            if (!path.startsWith(QByteArray(main_path.get(), main_path.size())))
                continue;
            if (path.size() - main_path.size() >= implicit_uses::MAX_SIDE_FILE_SUFFIX) {
                Velmora::Log::warning("Dependency analysis: \"%s\" is not taken as a side file of the landscape "
                                      "\"%s\": its name adds more than %d characters\n",
                                      path.constData(), main_path.get(), implicit_uses::MAX_SIDE_FILE_SUFFIX - 1);
                continue;
            }
            addRuntimeDependency(file.guid, *item);
        }
    }
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
            if (file.guid != parser_item.getId() && implicit_uses::isGuiSkinFile(fs::basename(file.absolute_path)))
                addRuntimeDependency(file.guid, *item);
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
        findMaterialTextures(search->textures, search->lines);
    }
    Velmora::LogHold::release(search->lines);
    for (size_t i = 0; i < candidates->second.size(); ++i) {
        if (const std::vector<Velmora::UGUID> *textures = search->textures[i]) {
            parser::Item &parser_item = *candidates->second[i]->getParserData();
            for (const Velmora::UGUID &texture : *textures)
                parser_item.addDependent(texture);
        }
    }
}

void Driver::findMaterialTextures(std::vector<const std::vector<Velmora::UGUID> *> &textures,
                                  Velmora::LogHold::Lines &lines)
{
    Velmora::LogHold hold(&lines);
    const auto candidates = map_by_ext_.find(MATERIAL_EXTENSION);
    if (candidates == map_by_ext_.end())
        return;
    textures.reserve(candidates->second.size());
    for (const Item *item : candidates->second) {
        const Velmora::Ptr<Velmora::Material> material = materialOf(*item->getParserData());
        // The tables keep their values where they are as they grow.
        textures.push_back(material ? &materialTextures(*material) : nullptr);
    }
}

void Driver::startMaterialSearch()
{
    finishMaterialSearch();
    if (map_by_ext_.find(MATERIAL_EXTENSION) == map_by_ext_.end())
        return;
    material_search_ = std::make_unique<MaterialSearch>();
    MaterialSearch *search = material_search_.get();
    search->thread = std::thread([this, search] { findMaterialTextures(search->textures, search->lines); });
}

bool Driver::finishMaterialSearch()
{
    if (!material_search_ || !material_search_->thread.joinable())
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

const std::vector<Velmora::UGUID> &Driver::materialTextures(const Velmora::Material &material)
{
    auto it = material_textures_.find(material.getGUID());
    if (it != material_textures_.end())
        return it.value();
    std::vector<Velmora::UGUID> textures;
    // The chain is held while its texts are read.
    std::vector<Velmora::Ptr<Velmora::Material>> chain;
    for (const Velmora::String *path : texturePaths(material, chain)) {
        if (path->isEmpty())
            continue;
        // Many materials name the same textures: each path is asked once.
        const QByteArray key(path->get(), path->size());
        auto known = texture_assets_.constFind(key);
        if (known == texture_assets_.constEnd()) {
            Velmora::UGUID texture = Velmora::FileSystem::getGUID(path->get());
            // Engine textures without an asset (core/) are nothing the
            // viewer could show.
            if (texture.isValid() && !as_manager_->hasRuntime(texture))
                texture = Velmora::UGUID();
            known = texture_assets_.insert(key, texture);
        }
        if (known.value().isValid())
            textures.push_back(known.value());
    }
    return material_textures_.insert(material.getGUID(), std::move(textures)).value();
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
    parser::Item &parser_item = *item.getParserData();
    // The same item comes many times in a row: its kind is asked once.
    if (&parser_item != hierarchy_item_) {
        hierarchy_item_ = &parser_item;
        hierarchy_ = dynamic_cast<const parser::items::Hierarchy *>(&parser_item);
    }
    if (!as_manager_->hasRuntime(runtime_guid)) {
        // The asset manager changed while the analysis ran.
        Velmora::Log::warning("Dependency analysis: %s is no longer an asset; it is not counted as a use of %s\n",
                              runtime_guid.getString().get(), parser_item.getId().getString().get());
        return;
    }
    if (runtime_guid == parser_item.getId())
        return;
    if (hierarchy_ && runtime_guid == hierarchy_->getParentId())
        return;
    parser_item.addDependent(runtime_guid);
}

const std::vector<Driver::FolderFile> &Driver::folderFiles(const QString &folder)
{
    auto it = folders_.find(folder);
    if (it != folders_.end())
        return it.value();
    std::vector<FolderFile> files;
    for (const Velmora::UGUID &guid : as_manager_->assets(folder))
        files.push_back({guid, as_manager_->filePath(guid)});
    return folders_.insert(folder, std::move(files)).value();
}

const std::vector<Velmora::UGUID> &Driver::nodePathFiles(const QString &folder)
{
    auto it = node_path_files_.find(folder);
    if (it != node_path_files_.end())
        return it.value();
    std::vector<Velmora::UGUID> scripts;
    for (const FolderFile &file : folderFiles(folder)) {
        if (implicit_uses::hasNodePathExtension(file.absolute_path))
            scripts.push_back(file.guid);
    }
    return node_path_files_.insert(folder, std::move(scripts)).value();
}

} // namespace analyzer
} // namespace inas
