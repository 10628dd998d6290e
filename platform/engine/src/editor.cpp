#include "velmora/Editor.h"
#include "velmora/BakeLighting.h"
#include "velmora/Console.h"
#include "velmora/Engine.h"
#include "velmora/FileSystem.h"
#include "velmora/Gui.h"
#include "velmora/Log.h"
#include "velmora/Player.h"
#include "velmora/Visualizer.h"
#include "velmora/World.h"

#include "engine_internal.h"
#include "node_tree.h"
#include "script_modules.h"

#include <QFileInfo>

#include <atomic>
#include <cmath>
#include <mutex>

namespace Velmora {

namespace {

struct EditorState
{
    Ptr<PlayerDummy> player;
    String script;
    bool loaded = false;
};

EditorState g_editor;
std::atomic<bool> g_baking{false};

std::mutex g_visualizer_mutex;
int g_visualizer_size = 0;
String g_visualizer_texture;

Gui *g_main_gui = nullptr;
Ptr<Gui> g_main_gui_handle;

// The editor camera's start: field of view and, without a world, its eye.
constexpr float DEFAULT_FOV = 60.0f;
const vec3 DEFAULT_EYE(10.0f, -10.0f, 7.0f);

// The world's first player in depth-first order whose pose was set (a
// player left at the identity pose looks straight down from the origin,
// which is no view anybody set up).
const Player *placedPlayer()
{
    const Player *found = nullptr;
    for (Node *root : NodeTree::roots()) {
        NodeTree::walk(root, [&found](Node *node) {
            if (node->getType() == Node::PLAYER_DUMMY && node->getWorldTransform() != mat4::identity())
                found = static_cast<const Player *>(node);
            return found == nullptr;
        });
        if (found)
            break;
    }
    return found;
}

} // namespace

// ---- Editor ------------------------------------------------------------------------

int Editor::load(const char *script)
{
    if (!engine_internal::checkRunning("Editor::load"))
        return 0;
    const String name = script ? script : "";
    if (name.empty() || (!FileSystem::isFileExist(name.get()) && engine_internal::resolveDataFile(name.get()).empty()))
        Log::warning("Editor::load: cannot find the editor script \"%s\"\n", name.get());
    g_editor.script = name;
    g_editor.loaded = true;
    engine_internal::registerEditorScript();
    Log::message("Editor: %s loaded\n", name.get());
    if (EditorLogicInterface *logic = engine_internal::editorLogic())
        logic->init();
    return 1;
}

bool Editor::isLoaded()
{
    return g_editor.loaded;
}

const char *Editor::getScriptName()
{
    return g_editor.script.get();
}

void Editor::quit()
{
    if (!g_editor.loaded)
        return;
    g_editor.loaded = false;
    Log::message("Editor: %s unloaded\n", g_editor.script.get());
}

Ptr<Player> Editor::getPlayer()
{
    if (!engine_internal::checkRunning("Editor::getPlayer"))
        return Ptr<Player>();
    return g_editor.player;
}

// ---- BakeLighting, Visualizer ------------------------------------------------------

bool BakeLighting::isBaking()
{
    return g_baking.load();
}

void BakeLighting::setBaking(bool baking)
{
    g_baking.store(baking);
}

int Visualizer::getSize()
{
    std::lock_guard<std::mutex> lock(g_visualizer_mutex);
    return g_visualizer_size;
}

void Visualizer::setSize(int size)
{
    std::lock_guard<std::mutex> lock(g_visualizer_mutex);
    g_visualizer_size = size;
}

const char *Visualizer::getTextureName()
{
    std::lock_guard<std::mutex> lock(g_visualizer_mutex);
    return g_visualizer_texture.get();
}

void Visualizer::setTextureName(const char *name)
{
    std::lock_guard<std::mutex> lock(g_visualizer_mutex);
    g_visualizer_texture = name;
}

bool Visualizer::isEnabled()
{
    return Console::getInt("show_visualizer") != 0;
}

void Visualizer::setEnabled(bool enabled)
{
    Console::setInt("show_visualizer", enabled ? 1 : 0);
}

// ---- Gui -----------------------------------------------------------------------------

Gui *Gui::get()
{
    return engine_internal::isRunning() ? g_main_gui : nullptr;
}

namespace engine_internal {

void editorInit()
{
    g_editor = EditorState();
    g_editor.player = PlayerDummy::create();
    g_editor.player->setName("editor_player");
    g_editor.player->setZFar(100000.0f);
    g_editor.player->lookAt(DEFAULT_EYE, vec3(0.0f, 0.0f, 0.0f));
}

void editorShutdown()
{
    unregisterEditorScript();
    if (g_editor.player) {
        Node *player = g_editor.player.get();
        g_editor.player.reset();
        NodeTree::destroy(player);
    }
    g_editor = EditorState();
}

void editorFrameWorld()
{
    if (!g_editor.player)
        return;
    if (const Player *player = placedPlayer()) {
        // The view the level designer set up.
        g_editor.player->setWorldTransform(player->getWorldTransform());
        g_editor.player->setFov(player->getFov());
        return;
    }
    g_editor.player->setFov(DEFAULT_FOV);
    BoundBox box;
    Vector<Ptr<Node>> roots;
    World::getRootNodes(roots);
    for (const Ptr<Node> &root : roots)
        box.expand(root->getWorldBoundBox());
    if (!box.isValid()) {
        g_editor.player->lookAt(DEFAULT_EYE, vec3(0.0f, 0.0f, 0.0f));
        return;
    }
    const BoundSphere sphere(box);
    const float radius = sphere.getRadius() > 0.5f ? sphere.getRadius() : 0.5f;
    // From the front-right and above, far enough for the whole sphere to fit
    // the vertical field of view.
    const float distance = radius / std::sin(Math::toRadians(g_editor.player->getFov() * 0.5f)) * 1.1f;
    const vec3 direction = Math::normalize(vec3(0.6f, -0.8f, 0.55f));
    g_editor.player->lookAt(sphere.getCenter() + direction * distance, sphere.getCenter());
}

void guiInit()
{
    g_main_gui_handle = Gui::create("core/gui/");
    g_main_gui = g_main_gui_handle.get();
}

void guiShutdown()
{
    g_main_gui = nullptr;
    g_main_gui_handle.reset();
}

void miscInit()
{
    g_baking.store(false);
    std::lock_guard<std::mutex> lock(g_visualizer_mutex);
    g_visualizer_size = 0;
    g_visualizer_texture.clear();
}

void miscShutdown()
{
    miscInit();
}

} // namespace engine_internal

} // namespace Velmora
