#include "editor/interdependence/analyzer/driver.h"

#include "editor/interdependence/analyzer/implicit_uses.h"
#include "editor/interdependence/arena_allocator.h"
#include "editor/interdependence/parallel_range.h"
#include "editor/interdependence/parser/items/hierarchy.h"
#include "editor/interdependence/parser/items/node.h"

#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/Materials.h>

#include <QDir>
#include <QSet>

#include <algorithm>

namespace inas {
namespace analyzer {

namespace {

const int NUM_ITERATIONS = 5;
const char MATERIAL_EXTENSION[] = "mat";
// How far up a material's parent chain the engine reads inherited slots.
const int MAX_PARENT_CHAIN = 64;
// The fewest items, path texts and folders worth a thread of their own.
const int ITEMS_PER_THREAD = 512;
const int PATHS_PER_THREAD = 64;
const int FOLDERS_PER_THREAD = 8;

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

Driver::~Driver() = default;

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
    max_iterations_ = 0;
    current_iteration_ = 0;
    map_by_ext_.clear();
    node_items_.clear();
    as_manager_ = nullptr;
    folders_.clear();
    node_path_files_.clear();
    path_files_.clear();
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
        if (!progress(max_iterations_, current_iteration_))
            return false;
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
    // Each item's lower-case extension (the text after the last dot of its
    // file's name; empty when none) and kind, on several threads; then the
    // groups, in map order.
    struct Kind
    {
        std::string extension;
        bool node = false;
    };
    const int count = output.item_map.size();
    std::vector<Kind> kinds(size_t(count > 0 ? count : 0));
    const auto first = output.item_map.begin();
    ParallelRange::run(count, ITEMS_PER_THREAD, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const parser::Item &item = *(first + i)->data->getParserData();
            const std::string &path = item.getAbsolutePath().std();
            // The last dot, unless a slash comes after it.
            size_t dot = path.size();
            while (dot > 0 && path[dot - 1] != '.' && path[dot - 1] != '/')
                --dot;
            Kind &kind = kinds[size_t(i)];
            if (dot > 0 && path[dot - 1] == '.') {
                kind.extension.assign(path, dot, std::string::npos);
                for (char &c : kind.extension) {
                    if (c >= 'A' && c <= 'Z')
                        c = char(c - 'A' + 'a');
                }
            }
            kind.node = dynamic_cast<const parser::items::Node *>(&item) != nullptr;
        }
    });
    std::vector<Item *> *group = nullptr;
    const std::string *group_extension = nullptr;
    for (int i = 0; i < count; ++i) {
        Item *item = (first + i)->data.get();
        const Kind &kind = kinds[size_t(i)];
        // Neighbours mostly share an extension: the group is looked up again
        // only when it changes.
        if (!group || *group_extension != kind.extension) {
            const auto it = map_by_ext_.emplace(kind.extension, std::vector<Item *>()).first;
            group = &it->second;
            group_extension = &it->first;
        }
        group->push_back(item);
        if (kind.node)
            node_items_.push_back(item);
    }
}

void Driver::linkNodePathFiles(Output & /*output*/)
{
    // A node that names a path uses the scripts of that path's folder. Many
    // nodes name the same paths: each distinct text is resolved once.
    std::vector<const Velmora::String *> texts;
    for (Item *item : node_items_) {
        const auto &node = static_cast<const parser::items::Node &>(*item->getParserData());
        for (const Velmora::String &path : node.getPaths()) {
            if (path_files_.emplace(path.std(), std::vector<Velmora::UGUID>()).second)
                texts.push_back(&path);
        }
    }
    std::vector<QString> folders(texts.size());
    ParallelRange::run(int(texts.size()), PATHS_PER_THREAD, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const Velmora::String &path = *texts[size_t(i)];
            folders[size_t(i)] = folderOf(fs::absDataPath(QString::fromUtf8(path.get(), path.size())));
        }
    });
    listFolders(folders);
    for (size_t i = 0; i < texts.size(); ++i)
        path_files_[texts[i]->std()] = nodePathFiles(folders[i]);

    // The links: every node item gets its own, so the items are shared out.
    ParallelRange::run(int(node_items_.size()), ITEMS_PER_THREAD, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            Item *item = node_items_[size_t(i)];
            const auto &node = static_cast<const parser::items::Node &>(*item->getParserData());
            for (const Velmora::String &path : node.getPaths()) {
                for (const Velmora::UGUID &guid : path_files_.at(path.std())) {
                    if (guid != node.getId())
                        addRuntimeDependency(guid, *item);
                }
            }
        }
    });
    linkLandscapeSideFiles();
}

void Driver::listFolders(const std::vector<QString> &folders)
{
    std::vector<QString> unlisted;
    QSet<QString> seen;
    for (const QString &folder : folders) {
        if (!folders_.contains(folder) && !seen.contains(folder)) {
            seen.insert(folder);
            unlisted.push_back(folder);
        }
    }
    std::vector<std::vector<FolderFile>> listed(unlisted.size());
    ParallelRange::run(int(unlisted.size()), FOLDERS_PER_THREAD, [&](int begin, int end) {
        for (int i = begin; i < end; ++i)
            listed[size_t(i)] = listFolder(unlisted[size_t(i)]);
    });
    for (size_t i = 0; i < unlisted.size(); ++i)
        folders_.insert(unlisted[i], std::move(listed[i]));
}

std::vector<Driver::FolderFile> Driver::listFolder(const QString &folder) const
{
    std::vector<FolderFile> files;
    for (const Velmora::UGUID &guid : as_manager_->assets(folder))
        files.push_back({guid, as_manager_->filePath(guid)});
    return files;
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
    const std::vector<Item *> &items = candidates->second;
    const int count = int(items.size());

    // Each item's material, found on several threads.
    std::vector<Velmora::Ptr<Velmora::Material>> materials(items.size());
    ParallelRange::run(count, ITEMS_PER_THREAD, [&](int begin, int end) {
        for (int i = begin; i < end; ++i)
            materials[size_t(i)] = materialOf(*items[size_t(i)]->getParserData());
    });

    // The texture paths of each distinct material, read on several threads.
    std::vector<const Velmora::Material *> distinct;
    for (const Velmora::Ptr<Velmora::Material> &material : materials) {
        if (material && !material_textures_.contains(material->getGUID())) {
            material_textures_.insert(material->getGUID(), std::vector<Velmora::UGUID>());
            distinct.push_back(material.get());
        }
    }
    std::vector<std::vector<std::string>> paths(distinct.size());
    ParallelRange::run(int(distinct.size()), ITEMS_PER_THREAD, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            std::vector<Velmora::Ptr<Velmora::Material>> chain;
            for (const Velmora::String *path : texturePaths(*distinct[size_t(i)], chain)) {
                if (!path->isEmpty())
                    paths[size_t(i)].push_back(path->std());
            }
        }
    });

    // Many materials name the same textures: each path is asked once.
    std::vector<const std::string *> unknown;
    for (const std::vector<std::string> &list : paths) {
        for (const std::string &path : list) {
            const QByteArray key = QByteArray::fromRawData(path.data(), int(path.size()));
            if (!texture_assets_.contains(key)) {
                texture_assets_.insert(QByteArray(path.data(), int(path.size())), Velmora::UGUID());
                unknown.push_back(&path);
            }
        }
    }
    std::vector<Velmora::UGUID> assets(unknown.size());
    ParallelRange::run(int(unknown.size()), ITEMS_PER_THREAD, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            Velmora::UGUID texture = Velmora::FileSystem::getGUID(unknown[size_t(i)]->c_str());
            // Engine textures without an asset (core/) are nothing the
            // viewer could show.
            if (texture.isValid() && !as_manager_->hasRuntime(texture))
                texture = Velmora::UGUID();
            assets[size_t(i)] = texture;
        }
    });
    for (size_t i = 0; i < unknown.size(); ++i)
        texture_assets_[QByteArray::fromRawData(unknown[i]->data(), int(unknown[i]->size()))] = assets[i];
    for (size_t i = 0; i < distinct.size(); ++i) {
        std::vector<Velmora::UGUID> &textures = material_textures_[distinct[i]->getGUID()];
        for (const std::string &path : paths[i]) {
            const Velmora::UGUID texture
                    = texture_assets_.value(QByteArray::fromRawData(path.data(), int(path.size())));
            if (texture.isValid())
                textures.push_back(texture);
        }
    }

    // The links: every item gets its own.
    ParallelRange::run(count, ITEMS_PER_THREAD, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            if (!materials[size_t(i)])
                continue;
            parser::Item &parser_item = *items[size_t(i)]->getParserData();
            const auto textures = material_textures_.constFind(materials[size_t(i)]->getGUID());
            for (const Velmora::UGUID &texture : textures.value())
                parser_item.addDependent(texture);
        }
    });
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
    if (!as_manager_->hasRuntime(runtime_guid)) {
        // The asset manager changed while the analysis ran.
        Velmora::Log::warning("Dependency analysis: %s is no longer an asset; it is not counted as a use of %s\n",
                              runtime_guid.getString().get(), parser_item.getId().getString().get());
        return;
    }
    if (runtime_guid == parser_item.getId())
        return;
    if (const auto *hierarchy = dynamic_cast<const parser::items::Hierarchy *>(&parser_item)) {
        if (runtime_guid == hierarchy->getParentId())
            return;
    }
    parser_item.addDependent(runtime_guid);
}

const std::vector<Driver::FolderFile> &Driver::folderFiles(const QString &folder)
{
    auto it = folders_.find(folder);
    if (it != folders_.end())
        return it.value();
    return folders_.insert(folder, listFolder(folder)).value();
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
