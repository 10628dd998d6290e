#include "velmora/World.h"

#include "velmora/Engine.h"
#include "velmora/FileSystem.h"
#include "velmora/Light.h"
#include "velmora/Log.h"
#include "velmora/Mesh.h"
#include "velmora/Object.h"
#include "velmora/Player.h"
#include "velmora/Render.h"
#include "velmora/UGUID.h"
#include "velmora/Xml.h"

#include "engine_internal.h"
#include "node_tree.h"

#include <QFileInfo>

#include <cstdlib>
#include <set>

namespace Velmora {

namespace {

constexpr int MAX_REFERENCE_DEPTH = 16;

struct WorldState
{
    bool loaded = false;
    String path; // data-relative, with ".world"
    String absolute_path;
    String name;
    String render_settings_path;
    Vector<String> root_arg_names;
    Vector<String> root_arg_values;
    String settings_xml; // the <settings> element as read ("" when none)
    Vector<String> unknown_elements;
    bool auto_reload_references = false;
};

WorldState g_world;
int g_reference_depth = 0;
String g_save_error;

// ---- XML helpers -------------------------------------------------------------------

void copyXml(const Xml *source, Xml *target)
{
    target->setName(source->getName());
    target->setData(source->getData());
    for (int i = 0; i < source->getNumArgs(); ++i)
        target->setArg(source->getArgName(i), source->getArgValue(i));
    for (int i = 0; i < source->getNumChildren(); ++i) {
        const Xml *child = source->getChild(i);
        copyXml(child, target->addChild(child->getName()));
    }
}

String elementText(const Xml *element)
{
    Xml copy;
    copyXml(element, &copy);
    return copy.toString();
}

void appendElementText(Xml *parent, const String &text)
{
    Xml element;
    if (!element.parse(text.get(), text.size()))
        return;
    copyXml(&element, parent->addChild(element.getName()));
}

bool parseUnsigned(const char *text, unsigned int &value)
{
    char *end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (end == text)
        return false;
    value = unsigned(parsed);
    return true;
}

String joinFloats(const float *values, int count)
{
    String text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += " ";
        text += engine_internal::formatFloat(values[i]);
    }
    return text;
}

void addTextChild(Xml *parent, const char *name, const String &text)
{
    parent->addChild(name)->setData(text.get());
}

// ---- reading nodes ----------------------------------------------------------------

Ptr<Node> createNode(const char *type_name)
{
    switch (Node::getTypeID(type_name)) {
    case Node::NODE_REFERENCE:
        return NodeReference::create(nullptr);
    case Node::WORLD_EXPRESSION:
        return WorldExpression::create();
    case Node::PLAYER_DUMMY:
        return PlayerDummy::create();
    case Node::LIGHT_WORLD:
        return LightWorld::create();
    case Node::OBJECT_MESH_STATIC:
        return ObjectMeshStatic::create(nullptr);
    case Node::OBJECT_MESH_CLUTTER:
        return ObjectMeshClutter::create();
    case Node::OBJECT_GRASS:
        return ObjectGrass::create();
    case Node::OBJECT_BILLBOARDS:
        return ObjectBillboards::create();
    case Node::NODE_DUMMY:
        return NodeDummy::create();
    default: {
        Ptr<Node> node = NodeDummy::create();
        Log::warning("World: unknown node type \"%s\", kept as a dummy node\n", type_name);
        node->setFileTypeName(type_name);
        return node;
    }
    }
}

Object::Surface readSurface(const Xml *element)
{
    Object::Surface surface;
    surface.from_file = true;
    surface.name = element->getArg("name");
    surface.enabled = element->getIntArg("enabled", 1) != 0;
    parseUnsigned(element->getArg("viewport_mask"), surface.viewport_mask);
    parseUnsigned(element->getArg("shadow_mask"), surface.shadow_mask);
    for (int i = 0; i < element->getNumChildren(); ++i) {
        const Xml *child = element->getChild(i);
        if (String(child->getName()) == "material")
            surface.material = child->getData();
        else
            surface.unknown_elements.append(elementText(child));
    }
    return surface;
}

// Reads the node's own element; false when it is not one the node knows.
bool readOwnElement(Node *node, const Xml *element, Vector<Object::Surface> &surfaces, String &mesh_name,
                    String &reference_path)
{
    const String name = element->getName();
    const bool leaf = element->getNumChildren() == 0 && element->getNumArgs() == 0;
    float values[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    switch (node->getType()) {
    case Node::NODE_REFERENCE:
        if (name == "path") {
            reference_path = element->getData();
            return true;
        }
        return false;
    case Node::WORLD_EXPRESSION:
        if (name == "expression") {
            static_cast<WorldExpression *>(node)->setExpression(element->getData());
            return true;
        }
        return false;
    case Node::PLAYER_DUMMY: {
        Player *player = static_cast<Player *>(node);
        if (name == "fov" && engine_internal::parseFloats(element->getData(), values, 1) == 1)
            player->setFov(values[0]);
        else if (name == "znear" && engine_internal::parseFloats(element->getData(), values, 1) == 1)
            player->setZNear(values[0]);
        else if (name == "zfar" && engine_internal::parseFloats(element->getData(), values, 1) == 1)
            player->setZFar(values[0]);
        else
            return false;
        return true;
    }
    case Node::LIGHT_WORLD: {
        LightWorld *light = static_cast<LightWorld *>(node);
        if (name == "color" && engine_internal::parseFloats(element->getData(), values, 4) >= 3)
            light->setColor(vec4(values[0], values[1], values[2], values[3]));
        else if (name == "scattering" && engine_internal::parseFloats(element->getData(), values, 1) == 1)
            light->setScattering(values[0]);
        else if (name == "shadow")
            light->setShadow(element->getIntData() != 0);
        else
            return false;
        return true;
    }
    case Node::OBJECT_MESH_STATIC:
        if (name == "mesh_name") {
            mesh_name = element->getData();
            return true;
        }
        if (name == "surface") {
            surfaces.append(readSurface(element));
            return true;
        }
        return false;
    case Node::OBJECT_MESH_CLUTTER:
    case Node::OBJECT_GRASS:
    case Node::OBJECT_BILLBOARDS: {
        ObjectSettings *object = static_cast<ObjectSettings *>(node);
        if (name == "surface") {
            surfaces.append(readSurface(element));
            return true;
        }
        if (name == "billboard" && node->getType() == Node::OBJECT_BILLBOARDS) {
            static_cast<ObjectBillboards *>(node)->addBillboard(element->getFloatArg("w"), element->getFloatArg("h"));
            return true;
        }
        if (leaf) {
            object->setSetting(name.get(), element->getData());
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

Ptr<Node> readNode(const Xml *element)
{
    Ptr<Node> node = createNode(element->getArg("type"));
    node->setID(element->getIntArg("id"));
    node->setName(element->getArg("name"));

    Vector<Object::Surface> surfaces;
    String mesh_name;
    String reference_path;
    Vector<String> unknown;
    for (int i = 0; i < element->getNumChildren(); ++i) {
        const Xml *child = element->getChild(i);
        const String name = child->getName();
        if (name == "node") {
            readNode(child)->setParent(node);
        } else if (name == "transform") {
            float values[16];
            if (engine_internal::parseFloats(child->getData(), values, 16) == 16)
                node->setTransform(mat4(values));
            else
                Log::warning("World: node %d \"%s\" has a bad transform\n", node->getID(), node->getName());
        } else if (name == "enabled") {
            node->setEnabled(child->getIntData(1) != 0);
        } else if (!readOwnElement(node.get(), child, surfaces, mesh_name, reference_path)) {
            unknown.append(elementText(child));
        }
    }
    node->setUnknownElements(unknown);

    if (Object *object = dynamic_cast<Object *>(node.get()))
        object->setSurfaces(surfaces);
    if (node->getType() == Node::OBJECT_MESH_STATIC)
        static_cast<ObjectMeshStatic *>(node.get())->setMeshName(mesh_name.get());
    if (node->getType() == Node::NODE_REFERENCE)
        static_cast<NodeReference *>(node.get())->setNodePath(reference_path.get());
    return node;
}

// Ids must be unique within a file: later clashes get max + 1.
void makeIdsUnique(const Vector<Ptr<Node>> &roots, std::set<int> &used)
{
    Vector<Node *> clashes;
    int max_id = used.empty() ? 0 : *used.rbegin();
    for (const Ptr<Node> &root : roots) {
        NodeTree::walk(root.get(), [&](Node *node) {
            if (!used.insert(node->getID()).second)
                clashes.append(node);
            else if (node->getID() > max_id)
                max_id = node->getID();
            return true;
        });
    }
    for (Node *node : clashes) {
        Log::warning("World: node id %d of \"%s\" is taken, renumbered to %d\n", node->getID(), node->getName(),
                     max_id + 1);
        node->setID(++max_id);
        used.insert(max_id);
    }
}

// ---- writing nodes ------------------------------------------------------------------

bool isDefaultSurface(const Object::Surface &surface)
{
    return surface.enabled && surface.material.empty() && surface.viewport_mask == 0xffffffffu
            && surface.shadow_mask == 0xffffffffu && surface.unknown_elements.empty();
}

void writeSurfaces(const Object *object, Xml *element)
{
    for (const Object::Surface &surface : object->getSurfaces()) {
        if (!surface.from_file && isDefaultSurface(surface))
            continue;
        Xml *child = element->addChild("surface");
        child->setArg("name", surface.name.get());
        child->setArg("enabled", surface.enabled ? "1" : "0");
        child->setArg("viewport_mask", String::format("%u", surface.viewport_mask).get());
        child->setArg("shadow_mask", String::format("%u", surface.shadow_mask).get());
        if (!surface.material.empty())
            addTextChild(child, "material", surface.material);
        for (const String &text : surface.unknown_elements)
            appendElementText(child, text);
    }
}

void writeNode(const Node *node, Xml *parent)
{
    Xml *element = parent->addChild("node");
    element->setArg("type", node->getTypeName());
    element->setIntArg("id", node->getID());
    element->setArg("name", node->getName());
    addTextChild(element, "transform", joinFloats(node->getTransform().m, 16));
    addTextChild(element, "enabled", node->isEnabled() ? "1" : "0");

    switch (node->getType()) {
    case Node::NODE_REFERENCE:
        addTextChild(element, "path", static_cast<const NodeReference *>(node)->getNodePath());
        break;
    case Node::WORLD_EXPRESSION:
        addTextChild(element, "expression", static_cast<const WorldExpression *>(node)->getExpression());
        break;
    case Node::PLAYER_DUMMY: {
        const Player *player = static_cast<const Player *>(node);
        addTextChild(element, "fov", engine_internal::formatFloat(player->getFov()));
        addTextChild(element, "znear", engine_internal::formatFloat(player->getZNear()));
        addTextChild(element, "zfar", engine_internal::formatFloat(player->getZFar()));
        break;
    }
    case Node::LIGHT_WORLD: {
        const LightWorld *light = static_cast<const LightWorld *>(node);
        addTextChild(element, "color", joinFloats(&light->getColor().x, 4));
        addTextChild(element, "scattering", engine_internal::formatFloat(light->getScattering()));
        addTextChild(element, "shadow", light->getShadow() ? "1" : "0");
        break;
    }
    case Node::OBJECT_MESH_STATIC: {
        const ObjectMeshStatic *object = static_cast<const ObjectMeshStatic *>(node);
        addTextChild(element, "mesh_name", object->getMeshName());
        writeSurfaces(object, element);
        break;
    }
    case Node::OBJECT_MESH_CLUTTER:
    case Node::OBJECT_GRASS:
    case Node::OBJECT_BILLBOARDS: {
        const ObjectSettings *object = static_cast<const ObjectSettings *>(node);
        for (int i = 0; i < object->getNumSettings(); ++i)
            addTextChild(element, object->getSettingName(i), object->getSetting(object->getSettingName(i)));
        writeSurfaces(object, element);
        if (node->getType() == Node::OBJECT_BILLBOARDS) {
            const ObjectBillboards *billboards = static_cast<const ObjectBillboards *>(node);
            for (int i = 0; i < billboards->getNumBillboards(); ++i) {
                Xml *child = element->addChild("billboard");
                child->setArg("w", engine_internal::formatFloat(billboards->getWidth(i)).get());
                child->setArg("h", engine_internal::formatFloat(billboards->getHeight(i)).get());
            }
        }
        break;
    }
    default:
        break;
    }
    for (const String &text : node->getUnknownElements())
        appendElementText(element, text);
    for (int i = 0; i < node->getNumChildren(); ++i)
        writeNode(node->getChild(i).get(), element);
}

// ---- render settings -----------------------------------------------------------------

void applyRenderSettings(const String &name)
{
    Render::resetSettings();
    if (name.empty())
        return;
    const String path = engine_internal::resolveDataFile(name.get());
    if (path.empty()) {
        Log::warning("World: render settings \"%s\" not found\n", name.get());
        return;
    }
    Xml xml;
    if (!xml.load(path.get()))
        return;
    for (int i = 0; i < xml.getNumChildren(); ++i) {
        const Xml *child = xml.getChild(i);
        const String element = child->getName();
        if (element == "ambient_color") {
            float values[3] = {0.0f, 0.0f, 0.0f};
            if (engine_internal::parseFloats(child->getData(), values, 3) == 3)
                Render::setAmbientColor(vec3(values[0], values[1], values[2]));
        } else if (element == "environment") {
            Render::setEnvironmentTextureName(child->getData());
        }
        Render::setSetting(element.get(), child->getData());
    }
}

// Data-relative world name: ".world" appended when missing.
String worldFileName(const char *name)
{
    String text = name ? String(name).trim() : String();
    if (UGUID::isGUIDText(text.get()))
        return text;
    if (!text.endsWith(".world"))
        text += ".world";
    return text;
}

void collectIds(std::set<int> &ids)
{
    for (Node *root : NodeTree::roots()) {
        NodeTree::walk(root, [&ids](Node *node) {
            ids.insert(node->getID());
            return true;
        });
    }
}

void fireNodeRemoved(Node *node)
{
    Vector<int> ids;
    NodeTree::walk(node, [&ids](Node *n) {
        ids.append(n->getID());
        return true;
    });
    if (EditorLogicInterface *logic = engine_internal::editorLogic()) {
        for (int id : ids)
            logic->nodeRemoved(id);
    }
}

} // namespace

// ---- World ----------------------------------------------------------------------------

bool World::load(const char *name)
{
    if (!engine_internal::checkRunning("World::load"))
        return false;
    quit();

    const String file = worldFileName(name);
    const String absolute = engine_internal::resolveDataFile(file.get());
    if (absolute.empty()) {
        Log::error("World::load: cannot find world \"%s\"\n", file.get());
        return false;
    }
    // The XML reader logs why a file does not read.
    Xml xml;
    if (!xml.load(absolute.get()))
        return false;
    if (String(xml.getName()) != "world") {
        Log::error("World::load: %s is not a world file (root <%s>)\n", absolute.get(), xml.getName());
        return false;
    }

    WorldState state;
    state.auto_reload_references = g_world.auto_reload_references;
    state.absolute_path = absolute;
    state.path = engine_internal::toDataRelative(absolute);
    state.name = String(QFileInfo(QString::fromUtf8(absolute.get())).completeBaseName().toUtf8().constData());
    for (int i = 0; i < xml.getNumArgs(); ++i) {
        state.root_arg_names.append(String(xml.getArgName(i)));
        state.root_arg_values.append(String(xml.getArgValue(i)));
    }
    Vector<Ptr<Node>> roots;
    for (int i = 0; i < xml.getNumChildren(); ++i) {
        const Xml *child = xml.getChild(i);
        const String element = child->getName();
        if (element == "node") {
            roots.append(readNode(child));
        } else if (element == "settings") {
            state.settings_xml = elementText(child);
            if (const Xml *render = child->findChild("render_settings"))
                state.render_settings_path = render->getData();
        } else {
            state.unknown_elements.append(elementText(child));
        }
    }
    std::set<int> ids;
    makeIdsUnique(roots, ids);

    g_world = state;
    g_world.loaded = true;
    for (const Ptr<Node> &root : roots)
        NodeTree::addRoot(root.get());
    NodeTree::raiseNextId(ids.empty() ? 0 : *ids.rbegin());
    applyRenderSettings(g_world.render_settings_path);
    engine_internal::editorFrameWorld();

    Log::message("World: %s loaded (%d nodes)\n", g_world.path.get(), getNumNodes());
    if (EditorLogicInterface *logic = engine_internal::editorLogic())
        logic->worldInit();
    return true;
}

bool World::save(const char *name)
{
    if (!engine_internal::checkRunning("World::save"))
        return false;
    if (!g_world.loaded) {
        g_save_error = "no world is loaded";
        Log::error("World::save: no world is loaded\n");
        return false;
    }
    String absolute = g_world.absolute_path;
    if (name && *name) {
        const String file = worldFileName(name);
        absolute = QFileInfo(QString::fromUtf8(file.get())).isAbsolute() ? file : engine_internal::dataPath() + file;
    }

    Xml xml("world");
    if (g_world.root_arg_names.empty())
        xml.setArg("version", "1");
    for (int i = 0; i < g_world.root_arg_names.size(); ++i)
        xml.setArg(g_world.root_arg_names[i].get(), g_world.root_arg_values[i].get());
    if (!g_world.settings_xml.empty())
        appendElementText(&xml, g_world.settings_xml);
    for (const String &text : g_world.unknown_elements)
        appendElementText(&xml, text);
    for (Node *root : NodeTree::roots())
        writeNode(root, &xml);
    String reason;
    if (!xml.save(absolute.get(), &reason)) {
        g_save_error = reason.empty() ? String("the file cannot be written") : reason;
        Log::error("World::save: cannot write %s\n", absolute.get());
        return false;
    }
    g_save_error = String();
    if (absolute != g_world.absolute_path) {
        g_world.absolute_path = absolute;
        g_world.path = engine_internal::toDataRelative(absolute);
        g_world.name = String(QFileInfo(QString::fromUtf8(absolute.get())).completeBaseName().toUtf8().constData());
    }
    if (!FileSystem::isFileExist(g_world.path.get()))
        FileSystem::addFile(g_world.path.get());
    Log::message("World: %s saved\n", g_world.path.get());
    if (EditorLogicInterface *logic = engine_internal::editorLogic())
        logic->worldSave();
    return true;
}

void World::quit()
{
    if (!g_world.loaded)
        return;
    if (EditorLogicInterface *logic = engine_internal::editorLogic())
        logic->worldShutdown();
    const std::vector<Node *> roots = NodeTree::roots();
    NodeTree::roots().clear();
    for (Node *root : roots)
        NodeTree::destroy(root);
    Log::message("World: %s unloaded\n", g_world.path.get());
    const bool auto_reload = g_world.auto_reload_references;
    g_world = WorldState();
    g_world.auto_reload_references = auto_reload;
    Mesh::clearCache();
    Render::resetSettings();
}

bool World::isLoaded()
{
    return engine_internal::isRunning() && g_world.loaded;
}

const char *World::getPath()
{
    return g_world.path.get();
}

const char *World::getAbsolutePath()
{
    return g_world.absolute_path.get();
}

const char *World::getName()
{
    return g_world.name.get();
}

const char *World::getRenderSettingsPath()
{
    return g_world.render_settings_path.get();
}

Ptr<Node> World::getNodeById(int id)
{
    if (!engine_internal::checkRunning("World::getNodeById"))
        return Ptr<Node>();
    Node *found = nullptr;
    for (Node *root : NodeTree::roots()) {
        NodeTree::walk(root, [&](Node *node) {
            if (node->getID() == id)
                found = node;
            return found == nullptr;
        });
        if (found)
            break;
    }
    return found ? NodeTree::handleOf(found) : Ptr<Node>();
}

Ptr<Node> World::getNodeByName(const char *name)
{
    if (!engine_internal::checkRunning("World::getNodeByName") || !name)
        return Ptr<Node>();
    Node *found = nullptr;
    for (Node *root : NodeTree::roots()) {
        NodeTree::walk(root, [&](Node *node) {
            if (String(node->getName()) == name)
                found = node;
            return found == nullptr;
        });
        if (found)
            break;
    }
    return found ? NodeTree::handleOf(found) : Ptr<Node>();
}

void World::getNodes(Vector<Ptr<Node>> &nodes)
{
    nodes.clear();
    if (!engine_internal::checkRunning("World::getNodes"))
        return;
    for (Node *root : NodeTree::roots()) {
        NodeTree::walk(root, [&nodes](Node *node) {
            nodes.append(NodeTree::handleOf(node));
            return true;
        });
    }
}

void World::getRootNodes(Vector<Ptr<Node>> &nodes)
{
    nodes.clear();
    if (!engine_internal::checkRunning("World::getRootNodes"))
        return;
    for (Node *root : NodeTree::roots())
        nodes.append(NodeTree::handleOf(root));
}

int World::getNumNodes()
{
    int count = 0;
    for (Node *root : NodeTree::roots()) {
        NodeTree::walk(root, [&count](Node *) {
            ++count;
            return true;
        });
    }
    return count;
}

bool World::isNode(int id)
{
    return bool(getNodeById(id));
}

bool World::addNode(const Ptr<Node> &node)
{
    if (!engine_internal::checkRunning("World::addNode"))
        return false;
    if (!node) {
        Log::error("World::addNode: null node\n");
        return false;
    }
    if (!g_world.loaded) {
        Log::error("World::addNode: no world is loaded\n");
        return false;
    }
    if (node->isInWorld())
        return true;
    if (node->getParent())
        node->setParent(Ptr<Node>());
    std::set<int> ids;
    collectIds(ids);
    Vector<Ptr<Node>> added{node};
    makeIdsUnique(added, ids);
    NodeTree::addRoot(node.get());
    NodeTree::raiseNextId(ids.empty() ? 0 : *ids.rbegin());
    return true;
}

bool World::removeNode(const Ptr<Node> &node)
{
    if (!engine_internal::checkRunning("World::removeNode"))
        return false;
    if (!node || !node->isInWorld())
        return false;
    if (node->getParent())
        node->setParent(Ptr<Node>());
    NodeTree::removeRoot(node.get());
    fireNodeRemoved(node.get());
    return true;
}

Ptr<Node> World::loadNode(const char *name, int)
{
    if (!engine_internal::checkRunning("World::loadNode"))
        return Ptr<Node>();
    String absolute = engine_internal::resolveDataFile(name);
    if (absolute.empty()) {
        Log::error("World::loadNode: cannot find \"%s\"\n", name ? name : "");
        return Ptr<Node>();
    }
    if (absolute.extension().lower() == "model") {
        // A model asset loads its stored node runtime (kind 3).
        Xml meta;
        String runtime;
        if (QFileInfo::exists(QString::fromUtf8((absolute + ".meta").get())) && meta.load((absolute + ".meta").get())) {
            for (int i = 0; i < meta.getNumChildren(); ++i) {
                const Xml *child = meta.getChild(i);
                if (String(child->getName()) == "runtime" && child->getIntArg("kind") == 3) {
                    runtime = child->getArg("guid");
                    break;
                }
            }
        }
        absolute = runtime.empty() ? String() : engine_internal::resolveDataFile(runtime.get());
        if (absolute.empty()) {
            Log::error("World::loadNode: the model \"%s\" has no node runtime\n", name);
            return Ptr<Node>();
        }
    }
    if (g_reference_depth >= MAX_REFERENCE_DEPTH) {
        Log::error("World::loadNode: node references nest too deep at %s\n", absolute.get());
        return Ptr<Node>();
    }
    Xml xml;
    if (!xml.load(absolute.get()))
        return Ptr<Node>();
    ++g_reference_depth;
    Vector<Ptr<Node>> roots;
    for (int i = 0; i < xml.getNumChildren(); ++i) {
        const Xml *child = xml.getChild(i);
        if (String(child->getName()) == "node")
            roots.append(readNode(child));
    }
    --g_reference_depth;
    if (roots.empty()) {
        Log::error("World::loadNode: %s holds no node\n", absolute.get());
        return Ptr<Node>();
    }
    std::set<int> ids;
    makeIdsUnique(roots, ids);
    if (roots.size() == 1)
        return roots[0];
    Ptr<Node> group = NodeDummy::create();
    group->setName(absolute.basename().removeExtension().get());
    for (const Ptr<Node> &root : roots)
        root->setParent(group);
    return group;
}

const char *World::getSaveError()
{
    return g_save_error.get();
}

bool World::saveNodes(const char *path, const Vector<Ptr<Node>> &nodes)
{
    if (!engine_internal::checkRunning("World::saveNodes") || !path || !*path)
        return false;
    const String absolute
            = QFileInfo(QString::fromUtf8(path)).isAbsolute() ? String(path) : engine_internal::dataPath() + path;
    Xml xml("nodes");
    xml.setArg("version", "1");
    for (const Ptr<Node> &node : nodes) {
        if (node)
            writeNode(node.get(), &xml);
    }
    if (!xml.save(absolute.get())) {
        Log::error("World::saveNodes: cannot write %s\n", absolute.get());
        return false;
    }
    return true;
}

int World::getFreeId()
{
    std::set<int> ids;
    collectIds(ids);
    return ids.empty() ? 1 : *ids.rbegin() + 1;
}

void World::updateSpatial()
{
    // World transforms and bounds are computed on request: nothing to update.
}

bool World::isAutoReloadNodeReferences()
{
    return g_world.auto_reload_references;
}

void World::setAutoReloadNodeReferences(bool enabled)
{
    g_world.auto_reload_references = enabled;
}

namespace engine_internal {

void worldInit()
{
    g_world = WorldState();
    g_reference_depth = 0;
}

void worldShutdown()
{
    g_world = WorldState();
    destroyAllNodes();
    Mesh::clearCache();
}

} // namespace engine_internal

} // namespace Velmora
