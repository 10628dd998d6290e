#include "velmora/Materials.h"

#include "velmora/Engine.h"
#include "velmora/Fesk.h"
#include "velmora/FileSystem.h"
#include "velmora/Log.h"
#include "velmora/LogHold.h"
#include "velmora/Xml.h"

#include "engine_internal.h"
#include "materials_internal.h"
#include "shader_cache.h"
#include "spread_shared_mutex.h"
#include "thread_kit.h"

#include <mutex>
#include <shared_mutex>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace Velmora {

namespace engine_internal {
namespace mat {

// Counts every change to a material or to the set of materials (see
// engine_internal::materialsRevision); raised after the change is made.
std::atomic<uint64_t> g_revision{1};

void changed()
{
    g_revision.fetch_add(1);
}

} // namespace mat
} // namespace engine_internal

namespace {

using namespace engine_internal::mat;

// Where the materials of a list stand, by GUID, by file GUID and by name:
// for each distinct key its first, second and last position. Flat
// open-addressed tables of positions (no allocation per material): a
// project has tens of thousands of materials and the tables are made on
// every load. Keys are read from the list itself, which lookups take.
class MaterialIndex
{
public:
    struct Positions
    {
        int first = -1;
        int second = -1;
        int last = -1;
    };

    MaterialIndex() = default;
    explicit MaterialIndex(const Vector<Ptr<Material>> &files)
    {
        size_t capacity = 16;
        while (capacity < size_t(files.size()) + size_t(files.size()) / 2)
            capacity *= 2;
        for (Table &table : tables_) {
            table.cells.assign(capacity, Slot());
            table.second.assign(size_t(files.size()), -1);
            table.last.assign(size_t(files.size()), -1);
        }
        mask_ = capacity - 1;
        for (int i = 0; i < files.size(); ++i) {
            const Material *material = files[i].get();
            const UGUID &guid = material->getGUID();
            const UGUID &file_guid = material->getFileGUID();
            const char *name = material->getName();
            const size_t length = std::strlen(name);
            add(tables_[BY_GUID], files, hashOf(guid), i,
                [&](const Material &other) { return other.getGUID() == guid; });
            add(tables_[BY_FILE_GUID], files, hashOf(file_guid), i,
                [&](const Material &other) { return other.getFileGUID() == file_guid; });
            add(tables_[BY_NAME], files, hashOf(name, length), i,
                [&](const Material &other) { return sameName(other, name, length); });
        }
    }

    // files: the list the index was made over.
    Positions byGUID(const Vector<Ptr<Material>> &files, const UGUID &guid) const
    {
        return find(tables_[BY_GUID], files, hashOf(guid),
                    [&](const Material &other) { return other.getGUID() == guid; });
    }
    Positions byFileGUID(const Vector<Ptr<Material>> &files, const UGUID &guid) const
    {
        return find(tables_[BY_FILE_GUID], files, hashOf(guid),
                    [&](const Material &other) { return other.getFileGUID() == guid; });
    }
    // Names compare as C strings.
    Positions byName(const Vector<Ptr<Material>> &files, const char *name) const
    {
        const size_t length = std::strlen(name);
        return find(tables_[BY_NAME], files, hashOf(name, length),
                    [&](const Material &other) { return sameName(other, name, length); });
    }

private:
    enum { BY_GUID = 0, BY_FILE_GUID = 1, BY_NAME = 2 };

    struct Slot
    {
        uint32_t hash = 0;
        int first = -1; // -1: free
    };

    struct Table
    {
        std::vector<Slot> cells;
        std::vector<int> second; // by first position
        std::vector<int> last; // by first position
    };

    static uint32_t mix(uint32_t hash) { return hash * 0x9E3779B1u; }

    static uint32_t hashOf(const UGUID &guid)
    {
        uint32_t hash = 0;
        for (int w = 0; w < UGUID::NUM_WORDS; ++w)
            hash = mix(hash ^ guid.getWord(w)) ^ (hash >> 15);
        return hash;
    }

    static uint32_t hashOf(const char *name, size_t length)
    {
        uint32_t hash = 2166136261u;
        for (size_t i = 0; i < length; ++i)
            hash = (hash ^ uint8_t(name[i])) * 16777619u;
        return mix(hash);
    }

    static bool sameName(const Material &material, const char *name, size_t length)
    {
        const char *own = material.getName();
        return std::strncmp(own, name, length) == 0 && own[length] == '\0';
    }

    template<typename Same>
    void add(Table &table, const Vector<Ptr<Material>> &files, uint32_t hash, int index, const Same &same)
    {
        for (size_t at = hash >> 8 & mask_;; at = (at + 1) & mask_) {
            Slot &slot = table.cells[at];
            if (slot.first < 0) {
                slot.hash = hash;
                slot.first = index;
                table.last[size_t(index)] = index;
                return;
            }
            if (slot.hash == hash && same(*files[slot.first])) {
                int &second = table.second[size_t(slot.first)];
                if (second < 0)
                    second = index;
                table.last[size_t(slot.first)] = index;
                return;
            }
        }
    }

    template<typename Same>
    Positions find(const Table &table, const Vector<Ptr<Material>> &files, uint32_t hash, const Same &same) const
    {
        if (table.cells.empty())
            return Positions();
        for (size_t at = hash >> 8 & mask_;; at = (at + 1) & mask_) {
            const Slot &slot = table.cells[at];
            if (slot.first < 0)
                return Positions();
            const Material *material = slot.hash == hash ? files[slot.first].get() : nullptr;
            if (material && same(*material))
                return Positions{slot.first, table.second[size_t(slot.first)], table.last[size_t(slot.first)]};
        }
    }

    size_t mask_ = 0;
    Table tables_[3];
};

struct MaterialsState
{
    engine_internal::SpreadSharedMutex lock; // never taken twice by one thread
    Vector<Ptr<Material>> base;
    Vector<Ptr<Material>> files; // sorted by file path
    MaterialIndex index; // over files
    bool precompile = false;
    int precompile_calls = 0;
    std::deque<Ptr<Material>> pending;
    bool compiling = false;
    int unnamed_counter = 0;
    std::mutex shader_lock; // taken before lock, never inside it
    engine_internal::ShaderCache shaders;
    // Under shader_lock: the materials a switch to precompiling asked for,
    // looked up in the shader cache by the following updates (the first
    // frame does not wait for the look-up), and those found missing so far.
    std::vector<Ptr<Material>> unchecked;
    size_t checked = 0;
    Vector<Ptr<Material>> missing;
};

// Materials looked up in the shader cache per engine update while a switch
// to precompiling is being served: a few milliseconds.
constexpr size_t LOOKUPS_PER_UPDATE = 256;

MaterialsState &state()
{
    static MaterialsState s;
    return s;
}

// Replaces the file materials and their index (under the write lock).
void setFiles(MaterialsState &s, Vector<Ptr<Material>> files, MaterialIndex index)
{
    s.files = std::move(files);
    s.index = std::move(index);
    changed();
}

Ptr<Material> findIn(const Vector<Ptr<Material>> &list, const char *name, const Material *skip = nullptr)
{
    for (const Ptr<Material> &material : list) {
        if (material.get() != skip && name && std::strcmp(material->getName(), name) == 0)
            return material;
    }
    return Ptr<Material>();
}

// The declarations of one built-in base material.
struct BaseDeclaration
{
    const char *name;
    const char *textures; // comma list
    const char *parameters; // "name=value" comma list
    const char *states; // "name=value" comma list
};

const BaseDeclaration BASE_MATERIALS[] = {
        {"mesh_base", "albedo,normal,shading,ambient_occlusion",
         "albedo_color=0.8 0.8 0.8 1,metalness=0,roughness=0.5,specular=0.5,microfiber=0,translucent=0", ""},
        {"impostor_grab_silhouette", "", "", ""},
        {"impostor_blend_silhouettes", "", "", ""},
        {"extrude_post", "", "", "is_separate_alpha_texture=0"},
        {"read_channel_post", "", "", "channel=0"},
        {"write_channel_post", "", "", "in_channel=0,out_channel=0"},
        {"impostor_grab_gbuffer_post", "", "impostor_plane_distance=0", "grab_mode=0"},
        {"impostor_grab_lighting_post", "", "", ""},
        {"impostor_compose_veg_normal_post", "", "", ""},
        {"impostor_soften_translucence_post", "", "", ""},
};

} // namespace

// ---- loading -------------------------------------------------------------------------

class MaterialLoader
{
public:
    static Ptr<Material> createBase(const BaseDeclaration &declaration)
    {
        Ptr<Material> material(new Material);
        material->name_ = declaration.name;
        material->guid_ = UGUID::derive(UGUID(), (String("builtin:") + declaration.name).get());
        material->base_ = true;
        for (const String &name : String(declaration.textures).split(",")) {
            if (!name.empty())
                material->textures_.append(Material::Entry{name, String(), false});
        }
        addPairs(material->parameters_, declaration.parameters);
        addPairs(material->states_, declaration.states);
        return material;
    }

    static Ptr<Material> createUnnamed(const UGUID &guid)
    {
        Ptr<Material> material(new Material);
        material->guid_ = guid;
        return material;
    }

    // The hash that stands for the material's compiled program: it changes
    // with any resolved parameter, state or texture. Each kind is resolved
    // once (the getters resolve the chain at every call); the text hashed is
    // the one the getters give, so caches written before stay valid.
    static uint32_t programHash(const Material &material)
    {
        using namespace engine_internal::mat;
        String resolved;
        for (const Material::Resolved &item : material.resolve(PARAMETERS))
            resolved += item.entry->name + "=" + item.entry->value + ";";
        for (const Material::Resolved &item : material.resolve(STATES))
            resolved += item.entry->name + "=" + String::format("%d", std::atoi(item.entry->value.get())) + ";";
        for (const Material::Resolved &item : material.resolve(TEXTURES))
            resolved += item.entry->name + "=" + item.entry->value + ";";
        return resolved.hash();
    }

    static Ptr<Material> load(const String &absolute, const String &relative)
    {
        QByteArray data;
        if (!engine_internal::readFile(absolute, data)) {
            Log::error("Materials: cannot read %s\n", absolute.get());
            return Ptr<Material>();
        }
        Ptr<Material> material(new Material);
        material->file_path_ = absolute;
        material->name_ = relative.basename().removeExtension();
        // FESK first: a document that starts with '<' is refused by the FESK
        // reader, so it goes straight to the XML reader.
        // A reader that refuses the file logs its own line (with the path).
        if (!startsWithAngle(data)) {
            FeskNode root;
            if (!engine_internal::parseFeskFile(root, data, absolute.get()))
                return Ptr<Material>();
            if (!readFesk(root, *material)) {
                Log::error("Materials: %s holds no Material node\n", absolute.get());
                return Ptr<Material>();
            }
            material->file_format_ = "fesk";
        } else {
            Xml xml;
            if (!engine_internal::parseXmlFile(xml, data, absolute.get()))
                return Ptr<Material>();
            if (!readXml(xml, *material)) {
                Log::error("Materials: %s is not a material file (root <%s>)\n", absolute.get(), xml.getName());
                return Ptr<Material>();
            }
            material->file_format_ = "xml";
        }
        material->file_guid_ = FileSystem::getGUID(relative.get());
        if (material->file_guid_.isEmpty())
            material->file_guid_ = UGUID::fromPath(relative.get());
        material->guid_ = UGUID::derive(material->file_guid_, "material");
        return material;
    }

    // Resolves the parent references of the file materials (index is over
    // files).
    static void linkParents(const Vector<Ptr<Material>> &files, const MaterialIndex &index,
                            const Ptr<Material> &mesh_base)
    {
        // By GUID: the last material of that GUID or file GUID. By name: the
        // first of that name that is not the material itself.
        for (const Ptr<Material> &material : files) {
            Ptr<Material> parent;
            const String &reference = material->parent_reference_;
            if (!reference.empty()) {
                bool itself = false;
                UGUID guid;
                if (guid.setString(reference.get())) {
                    const int at = std::max(index.byGUID(files, guid).last, index.byFileGUID(files, guid).last);
                    if (at >= 0)
                        parent = files[at];
                    itself = guid == material->guid_ || guid == material->file_guid_;
                } else {
                    const MaterialIndex::Positions named = index.byName(files, reference.get());
                    for (const int at : {named.first, named.second}) {
                        if (at >= 0 && files[at].get() != material.get()) {
                            parent = files[at];
                            break;
                        }
                    }
                    if (!parent)
                        parent = findIn(state().base, reference.get());
                    itself = !parent && material->name_ == reference;
                }
                if (itself && (!parent || parent == material)) {
                    Log::warning("Materials: \"%s\" names itself as its parent, using mesh_base\n",
                                 material->name_.get());
                    parent = Ptr<Material>();
                } else if (!parent) {
                    Log::warning("Materials: parent \"%s\" of \"%s\" not found, using mesh_base\n", reference.get(),
                                 material->name_.get());
                }
            }
            if (!parent || parent == material)
                parent = mesh_base;
            material->parent_guid_ = parent ? parent->guid_ : UGUID();
        }
        // A chain that comes back to a material is cut at that material.
        // The chains are followed through each material's parent GUID and
        // the index of the material that GUID names, kept side by side (and
        // up to date as chains are cut): a large project has long chains.
        std::vector<UGUID> parent_guids(size_t(files.size()));
        std::vector<int> parent_index(size_t(files.size()));
        for (int i = 0; i < files.size(); ++i) {
            parent_guids[size_t(i)] = files[i]->parent_guid_;
            parent_index[size_t(i)] = index.byGUID(files, files[i]->parent_guid_).last;
        }
        for (int i = 0; i < files.size(); ++i) {
            Material &material = *files[i];
            UGUID guid = parent_guids[size_t(i)];
            int holder = parent_index[size_t(i)];
            for (int depth = 0; depth < MAX_CHAIN && !guid.isEmpty(); ++depth) {
                if (guid == material.guid_) {
                    Log::error("Materials: \"%s\" inherits from itself, using mesh_base\n", material.name_.get());
                    material.parent_guid_ = mesh_base ? mesh_base->guid_ : UGUID();
                    parent_guids[size_t(i)] = material.parent_guid_;
                    parent_index[size_t(i)] = index.byGUID(files, material.parent_guid_).last;
                    break;
                }
                if (holder < 0)
                    break;
                guid = parent_guids[size_t(holder)];
                holder = parent_index[size_t(holder)];
            }
        }
        changed();
    }

    static bool save(const Material &material, String *error)
    {
        Xml xml(material.brush_ ? "brush_material" : "material");
        xml.setArg("name", material.name_.get());
        const String reference = material.parent_reference_;
        if (!reference.empty())
            xml.setArg(UGUID::isGUIDText(reference.get()) ? "parent" : "parent_name", reference.get());
        const char *const elements[] = {"texture", "parameter", "state"};
        const Vector<Material::Entry> *lists[] = {&material.textures_, &material.parameters_, &material.states_};
        for (int kind = 0; kind < 3; ++kind) {
            for (const Material::Entry &entry : *lists[kind]) {
                Xml *child = xml.addChild(elements[kind]);
                child->setArg("name", entry.name.get());
                if (entry.expression)
                    child->setArg("expression", "1");
                child->setData(entry.value.get());
            }
        }
        if (material.transparent_ >= 0 || material.blend_src_ >= 0 || material.blend_dest_ >= 0) {
            Xml *options = xml.addChild("options");
            if (material.transparent_ >= 0)
                options->setIntArg("transparent", material.transparent_);
            if (material.blend_src_ >= 0)
                options->setIntArg("blend_src", material.blend_src_);
            if (material.blend_dest_ >= 0)
                options->setIntArg("blend_dest", material.blend_dest_);
        }
        return xml.save(material.file_path_.get(), error);
    }

private:
    static bool startsWithAngle(const QByteArray &data)
    {
        int i = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\n' || data[i] == '\r'))
            ++i;
        return i < data.size() && data[i] == '<';
    }

    static void addPairs(Vector<Material::Entry> &entries, const char *pairs)
    {
        for (const String &pair : String(pairs).split(",")) {
            const int equal = pair.find('=');
            if (equal > 0)
                entries.append(Material::Entry{pair.substr(0, equal), pair.substr(equal + 1), false});
        }
    }

    static void setParentReference(Material &material, const char *parent, const char *parent_name,
                                   const char *base_material)
    {
        if (parent && *parent)
            material.parent_reference_ = parent;
        else if (parent_name && *parent_name)
            material.parent_reference_ = parent_name;
        else if (base_material && *base_material)
            material.parent_reference_ = base_material;
    }

    static bool readXml(const Xml &xml, Material &material)
    {
        const char *const root = xml.getName();
        if (std::strcmp(root, "material") != 0 && std::strcmp(root, "base_material") != 0
            && std::strcmp(root, "brush_material") != 0)
            return false;
        material.brush_ = std::strcmp(root, "brush_material") == 0;
        if (*xml.getArg("name"))
            material.name_ = xml.getArg("name");
        setParentReference(material, xml.getArg("parent"), xml.getArg("parent_name"), xml.getArg("base_material"));
        for (int i = 0; i < xml.getNumChildren(); ++i) {
            const Xml *child = xml.getChild(i);
            const char *const element = child->getName();
            if (std::strcmp(element, "texture") == 0)
                material.textures_.append(
                        Material::Entry{String(child->getArg("name")), String(child->getData()), false});
            else if (std::strcmp(element, "parameter") == 0)
                material.parameters_.append(Material::Entry{String(child->getArg("name")), String(child->getData()),
                                                            child->getBoolArg("expression", false)});
            else if (std::strcmp(element, "state") == 0)
                material.states_.append(
                        Material::Entry{String(child->getArg("name")), String(child->getData()), false});
            else if (std::strcmp(element, "options") == 0)
                readOptions(material, child->getArg("transparent"), child->getArg("blend_src"),
                            child->getArg("blend_dest"));
        }
        return true;
    }

    static bool readFesk(const FeskNode &root, Material &material)
    {
        const FeskNode *node = root.findChild("Material");
        if (!node)
            return false;
        if (*node->getArgValue("name"))
            material.name_ = node->getArgValue("name");
        setParentReference(material, node->getArgValue("parent"), node->getArgValue("parent_name"),
                           node->getArgValue("base_material"));
        for (int i = 0; i < node->getNumChildren(); ++i) {
            const FeskNode *child = node->getChild(i);
            const char *const type = child->getType();
            const auto entry = [child](bool expression) {
                return Material::Entry{String(child->getArgValue("name")), String(child->getValue().getString()),
                                       expression};
            };
            if (std::strcmp(type, "Texture") == 0)
                material.textures_.append(entry(false));
            else if (std::strcmp(type, "Parameter") == 0)
                material.parameters_.append(entry(child->getArgBool("expression", false)));
            else if (std::strcmp(type, "Expression") == 0)
                material.parameters_.append(entry(true));
            else if (std::strcmp(type, "State") == 0)
                material.states_.append(entry(false));
            else if (std::strcmp(type, "Options") == 0)
                readOptions(material, child->getArgValue("transparent"), child->getArgValue("blend_src"),
                            child->getArgValue("blend_dest"));
        }
        return true;
    }

    static void readOptions(Material &material, const char *transparent, const char *src, const char *dest)
    {
        if (transparent && *transparent)
            material.transparent_ = std::atoi(transparent);
        if (src && *src)
            material.blend_src_ = std::atoi(src);
        if (dest && *dest)
            material.blend_dest_ = std::atoi(dest);
    }
};

namespace {

// The shader cache line of the material's compiled program.
std::string shaderLine(const Material &material)
{
    return engine_internal::ShaderCache::lineOf(material.getGUID(), material.getName(),
                                                MaterialLoader::programHash(material));
}

// Points the shader cache at the running engine's cache file (under
// shader_lock); false when the engine has no cache folder.
bool useShaderCache(MaterialsState &s)
{
    const String folder = engine_internal::cachePath();
    if (folder.empty())
        return false;
    s.shaders.use(folder + (engine_internal::buildConfiguration() == 0 ? "shader_gl_debug.cache" : "shader_gl.cache"));
    return true;
}

// Compiles what the shader cache does not hold yet and writes the cache
// file when save is set or a batch is due.
void compileMissing(const Vector<Ptr<Material>> &materials, bool save)
{
    MaterialsState &s = state();
    std::lock_guard<std::mutex> lock(s.shader_lock);
    if (!useShaderCache(s))
        return;
    for (const Ptr<Material> &material : materials) {
        if (material)
            s.shaders.add(shaderLine(*material));
    }
    if (save || s.shaders.isSaveDue())
        s.shaders.save();
}

// Has the materials looked up in the shader cache before any of them is
// compiled: only those whose programs it lacks are compiled.
void lookUpLater(const Vector<Ptr<Material>> &materials)
{
    MaterialsState &s = state();
    std::lock_guard<std::mutex> lock(s.shader_lock);
    s.unchecked.insert(s.unchecked.end(), materials.begin(), materials.end());
}

// Checks up to `most` more materials of the pending look-up against the
// shader cache; once all are checked, schedules those it lacks and returns
// true (also when there is no look-up).
bool lookUp(size_t most)
{
    MaterialsState &s = state();
    Vector<Ptr<Material>> missing;
    {
        std::lock_guard<std::mutex> lock(s.shader_lock);
        if (s.unchecked.empty())
            return true;
        const bool cached = useShaderCache(s);
        const size_t stop = s.unchecked.size() - s.checked > most ? s.checked + most : s.unchecked.size();
        for (; s.checked < stop; ++s.checked) {
            const Ptr<Material> &material = s.unchecked[s.checked];
            if (material && (!cached || !s.shaders.holds(shaderLine(*material))))
                s.missing.append(material);
        }
        if (s.checked < s.unchecked.size())
            return false;
        std::vector<Ptr<Material>>().swap(s.unchecked);
        s.checked = 0;
        std::swap(missing, s.missing);
    }
    Materials::scheduleCompile(missing);
    return true;
}

// Drops a pending look-up and forgets the cache file.
void closeShaderCache(MaterialsState &s)
{
    std::lock_guard<std::mutex> lock(s.shader_lock);
    s.shaders.close();
    std::vector<Ptr<Material>>().swap(s.unchecked);
    s.checked = 0;
    s.missing.clear();
}

} // namespace

namespace engine_internal {
namespace mat {

Ptr<Material> createBase(const char *name)
{
    const BaseDeclaration declaration{name, "", "", ""};
    return MaterialLoader::createBase(declaration);
}

} // namespace mat
} // namespace engine_internal

// ---- Materials ------------------------------------------------------------------------

int Materials::loadMaterials()
{
    if (!engine_internal::checkRunning("Materials::loadMaterials"))
        return 0;
    clearMaterials();
    Vector<Ptr<Material>> files;
    const std::vector<String> paths = engine_internal::filesWithExtension("mat");
    // Read on several threads; the log reads as if one after another, and
    // the materials are kept in the order of the files.
    std::vector<Ptr<Material>> loaded(paths.size());
    engine_internal::forEachOnThreads(paths.size(), [&](size_t i) {
        loaded[i] = MaterialLoader::load(FileSystem::getAbsolutePath(paths[i].get()), paths[i]);
    });
    files.reserve(int(loaded.size()));
    for (Ptr<Material> &material : loaded) {
        if (material)
            files.append(std::move(material));
    }
    MaterialsState &s = state();
    std::vector<std::pair<UGUID, UGUID>> virtual_files;
    virtual_files.reserve(size_t(files.size()));
    for (const Ptr<Material> &material : files)
        virtual_files.emplace_back(material->getGUID(), material->getFileGUID());
    // The file system learns of the materials on a thread of its own while
    // this one links them; its log lines are held and follow the links'.
    LogHold::Lines registered;
    auto register_files = [&virtual_files, &registered] {
        LogHold hold(&registered);
        engine_internal::registerVirtualFiles(virtual_files);
    };
    engine_internal::ThreadGroup registering;
    if (!registering.start(register_files))
        register_files();
    MaterialIndex index(files);
    MaterialLoader::linkParents(files, index, findBaseMaterial("mesh_base"));
    registering.join();
    LogHold::release(registered);
    const int count = files.size();
    {
        std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
        setFiles(s, std::move(files), std::move(index));
    }
    Log::message("Materials: %d materials loaded\n", count);
    return count;
}

Ptr<Material> Materials::loadMaterial(const char *path)
{
    if (!engine_internal::checkRunning("Materials::loadMaterial"))
        return Ptr<Material>();
    const String relative(path);
    Ptr<Material> material = MaterialLoader::load(FileSystem::getAbsolutePath(path), relative);
    if (!material)
        return material;
    MaterialsState &s = state();
    Vector<Ptr<Material>> files;
    {
        std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
        files = s.files;
    }
    for (int i = files.size() - 1; i >= 0; --i) {
        if (String(files[i]->getFilePath()) == material->getFilePath())
            files.remove(i);
    }
    int at = 0;
    while (at < files.size() && String(files[at]->getFilePath()) < String(material->getFilePath()))
        ++at;
    files.insert(at, material);
    MaterialIndex index(files);
    MaterialLoader::linkParents(files, index, findBaseMaterial("mesh_base"));
    FileSystem::registerVirtualFile(material->getGUID(), material->getFileGUID());
    {
        std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
        setFiles(s, std::move(files), std::move(index));
    }
    return material;
}

bool Materials::saveMaterial(const Ptr<Material> &material, String *error)
{
    if (!material || String(material->getFileFormat()) != "xml") {
        Log::warning("Materials: \"%s\" is not an XML material file; it is not saved\n",
                     material ? material->getName() : "");
        if (error)
            *error = "it is not an XML material file";
        return false;
    }
    if (!MaterialLoader::save(*material, error)) {
        Log::warning("Materials: cannot write %s\n", material->getFilePath());
        return false;
    }
    return true;
}

void Materials::clearMaterials()
{
    MaterialsState &s = state();
    Vector<Ptr<Material>> old;
    {
        std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
        old = s.files;
        setFiles(s, Vector<Ptr<Material>>(), MaterialIndex());
    }
    if (FileSystem::isInitialized()) {
        for (const Ptr<Material> &material : old)
            FileSystem::unregisterVirtualFile(material->getGUID());
    }
}

int Materials::getNumMaterials()
{
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    return s.files.size();
}

Ptr<Material> Materials::getMaterial(int index)
{
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    return index >= 0 && index < s.files.size() ? s.files[index] : Ptr<Material>();
}

Ptr<Material> Materials::findMaterial(const char *name)
{
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    if (name) {
        const int first = s.index.byName(s.files, name).first;
        if (first >= 0)
            return s.files[first];
    }
    return findIn(s.base, name);
}

Ptr<Material> Materials::findMaterialByGUID(const UGUID &guid)
{
    if (guid.isEmpty())
        return Ptr<Material>();
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    const int first = s.index.byGUID(s.files, guid).first;
    if (first >= 0)
        return s.files[first];
    for (const Ptr<Material> &material : s.base) {
        if (material->getGUID() == guid)
            return material;
    }
    return Ptr<Material>();
}

Ptr<Material> Materials::findMaterialByFileGUID(const UGUID &guid)
{
    if (Ptr<Material> material = findMaterialByGUID(guid))
        return material;
    if (guid.isEmpty())
        return Ptr<Material>();
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    const int first = s.index.byFileGUID(s.files, guid).first;
    return first < 0 ? Ptr<Material>() : s.files[first];
}

Ptr<Material> Materials::findBaseMaterial(const char *name)
{
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    return findIn(s.base, name);
}

int Materials::getNumBaseMaterials()
{
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    return s.base.size();
}

bool Materials::removeBaseMaterial(const char *name)
{
    MaterialsState &s = state();
    std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    for (int i = 0; i < s.base.size(); ++i) {
        if (name && String(s.base[i]->getName()) == name) {
            s.base.remove(i);
            changed();
            return true;
        }
    }
    return false;
}

Ptr<Material> Materials::getBaseMaterial(int index)
{
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    return index >= 0 && index < s.base.size() ? s.base[index] : Ptr<Material>();
}

bool Materials::isMaterial(const UGUID &guid)
{
    return bool(findMaterialByFileGUID(guid));
}

Ptr<Material> Materials::resolve(const char *name_or_guid)
{
    if (!name_or_guid || !*name_or_guid)
        return Ptr<Material>();
    if (UGUID::isGUIDText(name_or_guid))
        return findMaterialByFileGUID(UGUID(name_or_guid));
    return findMaterial(name_or_guid);
}

bool Materials::isPrecompileAllShaders()
{
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    return s.precompile;
}

void Materials::setPrecompileAllShaders(bool enabled)
{
    if (!engine_internal::checkRunning("Materials::setPrecompileAllShaders"))
        return;
    MaterialsState &s = state();
    bool schedule = false;
    Vector<Ptr<Material>> files;
    {
        std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
        ++s.precompile_calls;
        schedule = enabled && !s.precompile;
        s.precompile = enabled;
        files = s.files;
    }
    // Only what the shader cache lacks: a start on a full cache compiles
    // nothing and shows no progress. The cache is read and the materials
    // looked up by the following updates, not on the way to a frame.
    if (schedule)
        lookUpLater(files);
}

int Materials::getPrecompileAllShadersCallCount()
{
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    return s.precompile_calls;
}

void Materials::scheduleCompile(const Vector<Ptr<Material>> &materials)
{
    MaterialsState &s = state();
    std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    for (const Ptr<Material> &material : materials)
        s.pending.push_back(material);
}

int Materials::getNumPendingCompiles()
{
    lookUp(SIZE_MAX);
    MaterialsState &s = state();
    std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    return int(s.pending.size());
}

void Materials::compileShaders(const Vector<Ptr<Material>> &materials)
{
    if (!engine_internal::checkRunning("Materials::compileShaders"))
        return;
    compileMissing(materials, true);
}

namespace engine_internal {

uint64_t materialsRevision()
{
    return g_revision.load();
}

void materialsInit()
{
    MaterialsState &s = state();
    closeShaderCache(s);
    std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    s.base.clear();
    for (const BaseDeclaration &declaration : BASE_MATERIALS)
        s.base.append(MaterialLoader::createBase(declaration));
    setFiles(s, Vector<Ptr<Material>>(), MaterialIndex());
    changed();
    s.precompile = false;
    s.precompile_calls = 0;
    s.pending.clear();
    s.compiling = false;
    s.unnamed_counter = 0;
}

void materialsShutdown()
{
    Materials::clearMaterials();
    MaterialsState &s = state();
    // What a pass compiled before the engine stops is kept.
    closeShaderCache(s);
    std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
    s.base.clear();
    changed();
    s.pending.clear();
    s.compiling = false;
    s.precompile = false;
}

void materialsCompileStep()
{
    // The pass begins once the look-up is done, so that it shows from the
    // first material how many remain.
    if (!lookUp(LOOKUPS_PER_UPDATE))
        return;
    MaterialsState &s = state();
    Ptr<Material> material;
    bool begin = false;
    bool end = false;
    int remaining = 0;
    {
        std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
        if (s.pending.empty())
            return;
        begin = !s.compiling;
        s.compiling = true;
        material = s.pending.front();
        s.pending.pop_front();
        remaining = int(s.pending.size());
        end = s.pending.empty();
        if (end)
            s.compiling = false;
    }
    // The cache file is written in batches while the pass goes on, and at
    // its end.
    compileMissing(Vector<Ptr<Material>>{material}, end);
    EditorLogicInterface *logic = editorLogic();
    if (!logic)
        return;
    if (begin)
        logic->compileBegin();
    logic->compileMaterial(material, remaining);
    if (end)
        logic->compileEnd();
}

void materialsScheduleTest(int count)
{
    MaterialsState &s = state();
    Vector<Ptr<Material>> entries;
    {
        std::unique_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
        const Vector<Ptr<Material>> &source = s.files.empty() ? s.base : s.files;
        for (int i = 0; i < count; ++i) {
            if (i % 4 == 3 || source.empty()) {
                // An unnamed material: the editor shows its GUID instead.
                entries.append(MaterialLoader::createUnnamed(
                        UGUID::derive(UGUID(), String::format("compile:%d", ++s.unnamed_counter).get())));
            } else {
                entries.append(source[i % source.size()]);
            }
        }
    }
    Materials::scheduleCompile(entries);
}

Vector<String> materialsTexturePaths()
{
    std::set<std::string> paths;
    MaterialsState &s = state();
    {
        std::shared_lock<engine_internal::SpreadSharedMutex> lock(s.lock);
        for (const Ptr<Material> &material : s.files) {
            for (const Material::Entry &entry : material->getOwnTextures()) {
                String path = entry.value.trim();
                if (path.empty())
                    continue;
                if (UGUID::isGUIDText(path.get())) {
                    path = FileSystem::getVirtualPath(UGUID(path.get()));
                    if (path.empty())
                        continue;
                }
                paths.insert(path.std());
            }
        }
    }
    for (const String &file : FileSystem::getFiles()) {
        const String ext = file.extension().lower();
        if (file.startsWith("core/textures/")
            && (ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "tga" || ext == "dds" || ext == "psd"
                || ext == "exr"))
            paths.insert(file.std());
    }
    Vector<String> result;
    for (const std::string &path : paths)
        result.append(String(path));
    return result;
}

} // namespace engine_internal

} // namespace Velmora
